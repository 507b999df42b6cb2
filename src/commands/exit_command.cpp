#include "commands/exit_command.h"

#include "commands/command_state.h"

#include "window/frm_big.h"

namespace archive {

namespace {

bool CloseOrDefer(FrmBig& frm, FrmBig::CloseRequest request)
{
    if (!CommandRunning(frm)) {
        return true;
    }
    if (frm.PendingClose != FrmBig::CloseRequest::Exit) {
        frm.PendingClose = request;
    }
    return false;
}

} // namespace

bool mnuFileExit_Click(FrmBig& frm)
{
    if (!CloseOrDefer(frm, FrmBig::CloseRequest::Exit)) {
        return false;
    }
    frm.Zlib.reset();
    return true;
}

bool Form_QueryUnload(FrmBig& frm)
{
    return CloseOrDefer(frm, FrmBig::CloseRequest::CloseBox);
}

bool TakePendingClose(FrmBig& frm)
{
    if (CommandRunning(frm) || frm.PendingClose == FrmBig::CloseRequest::None) {
        return false;
    }
    if (frm.PendingClose == FrmBig::CloseRequest::Exit) {
        frm.Zlib.reset();
    }
    frm.PendingClose = FrmBig::CloseRequest::None;
    return true;
}

} // namespace archive
