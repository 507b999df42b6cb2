#pragma once

namespace archive {

class FrmBig;

// Exit and the window's close box. Neither takes away what a running command
// uses: while Save All lets window events run, they ask it to stop after the
// entry it is writing, and the face closes the window once the command has
// returned (TakePendingClose).

// The menu's Exit: releases Zlib and returns true when the face closes the window now.
bool mnuFileExit_Click(FrmBig& frm);
// The close box: true when the window may close now.
bool Form_QueryUnload(FrmBig& frm);
// For the face, after every command: true when Exit or the close box was
// asked for while the command ran; the window is then closed.
bool TakePendingClose(FrmBig& frm);

} // namespace archive
