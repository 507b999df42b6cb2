#include "win32/drag_source.h"

#include "commands/command_state.h"
#include "win32/com_object.h"
#include "window/frm_big.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <system_error>

namespace archive::win32 {

namespace {

FORMATETC Format(CLIPFORMAT format)
{
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

HGLOBAL GlobalCopy(const void* data, std::size_t size)
{
    const HGLOBAL memory = GlobalAlloc(GHND, size);
    if (memory) {
        std::memcpy(GlobalLock(memory), data, size);
        GlobalUnlock(memory);
    }
    return memory;
}

class FileDataObject final : public ComObject<FileDataObject, IDataObject, IID_IDataObject> {
  public:
    FileDataObject(const std::vector<std::filesystem::path>& files, bool fromThisProgram)
    {
        for (const std::filesystem::path& file : files) {
            list_ += file.wstring();
            list_ += L'\0';
        }
        list_ += L'\0';
        formats_ = {Format(CF_HDROP),
                    Format(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)))};
        if (fromThisProgram) {
            formats_.push_back(Format(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(kDragOutFormat))));
        }
    }

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!format || !medium) {
            return E_INVALIDARG;
        }
        const HRESULT offered = QueryGetData(format);
        if (offered != S_OK) {
            return offered;
        }
        HGLOBAL memory = nullptr;
        if (format->cfFormat == CF_HDROP) {
            DROPFILES header{};
            header.pFiles = sizeof header;
            header.fWide = TRUE;
            std::vector<char> bytes(sizeof header + list_.size() * sizeof(wchar_t));
            std::memcpy(bytes.data(), &header, sizeof header);
            std::memcpy(bytes.data() + sizeof header, list_.data(), list_.size() * sizeof(wchar_t));
            memory = GlobalCopy(bytes.data(), bytes.size());
        } else {
            const DWORD effect = DROPEFFECT_COPY; // also the answer for our own format
            memory = GlobalCopy(&effect, sizeof effect);
        }
        if (!memory) {
            return E_OUTOFMEMORY;
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        if (!format) {
            return E_INVALIDARG;
        }
        for (const FORMATETC& offered : formats_) {
            if (format->cfFormat == offered.cfFormat) {
                if (format->dwAspect != DVASPECT_CONTENT) {
                    return DV_E_DVASPECT;
                }
                return (format->tymed & TYMED_HGLOBAL) != 0 ? S_OK : DV_E_TYMED;
            }
        }
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out) {
            out->ptd = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (direction != DATADIR_GET) {
            return E_NOTIMPL;
        }
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats_.size()), formats_.data(), formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    friend ComObject; // deletes at the last Release
    ~FileDataObject() = default;

    std::wstring list_; // the paths, each ended by a NUL, and a NUL after the last
    std::vector<FORMATETC> formats_;
};

class DropSource final : public ComObject<DropSource, IDropSource, IID_IDropSource> {
  public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape || (keys & MK_RBUTTON) != 0) {
            return DRAGDROP_S_CANCEL;
        }
        return (keys & MK_LBUTTON) == 0 ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  private:
    friend ComObject; // deletes at the last Release
    ~DropSource() = default;
};

} // namespace

DragOutFolders::~DragOutFolders()
{
    for (const std::filesystem::path& folder : folders_) {
        std::error_code ignored; // a file still open elsewhere stays behind in the temporary folder
        std::filesystem::remove_all(folder, ignored);
    }
}

std::filesystem::path DragOutFolders::MakeFolder(std::string& error)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) {
        error = "the temporary folder is not known";
        return {};
    }
    const std::filesystem::path base(temporary);
    const unsigned long long seed =
        GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[64];
        swprintf(name, 64, L"archive-tool-drag-%llx", seed + attempt);
        std::error_code made;
        if (std::filesystem::create_directory(base / name, made)) {
            folders_.push_back(base / name);
            return folders_.back();
        }
        if (made) {
            error = made.message();
            return {};
        }
    }
    error = "no free name below " + base.string();
    return {};
}

bool DragOutShowsProgress(const DragPlanSize& size)
{
    return size.bytes > (std::int64_t{16} << 20) || size.files > 200;
}

std::vector<std::filesystem::path> ExtractForDragOut(FrmBig& frm, const std::vector<int>& nodes,
                                                     DragOutFolders& folders, const JobControl& control)
{
    if (!frm.SgaCatalogueShown() || nodes.empty()) {
        return {};
    }
    // Marked as running before anything is read: a window that lets messages
    // run meanwhile then refuses an open that would free the tree walked here.
    const RunningScope running(frm, RunningCommand::DragOut);
    if (!running.Started()) {
        return {};
    }
    std::string error;
    const std::filesystem::path folder = folders.MakeFolder(error);
    if (folder.empty()) {
        frm.widgets().ShowMessage("Cannot make a temporary folder for the dragged files: " + error);
        return {};
    }
    const DragPlanSize size = MeasureDrag(frm, nodes);
    JobProgress now;
    now.totalFiles = size.files;
    now.totalBytes = size.bytes;
    DragExtractReport report;
    report = ExtractForDrag(frm, nodes, folder, [&](int files, std::int64_t bytes) {
        now.files = files;
        now.bytes = bytes;
        control.Report(now);
        return !control.Cancelled() && frm.PendingClose == FrmBig::CloseRequest::None;
    });
    for (const std::string& failure : report.failures) {
        frm.ReportFailure("Error: " + failure);
    }
    if (report.cancelled || report.handed.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return {};
    }
    return report.handed;
}

IDataObject* MakeFileDataObject(const std::vector<std::filesystem::path>& files, bool fromThisProgram)
{
    return new FileDataObject(files, fromThisProgram);
}

IDropSource* MakeDropSource()
{
    return new DropSource;
}

DragOutResult StartDragOut(HWND owner, FrmBig& frm, const std::vector<int>& nodes, DragOutFolders& folders,
                           const JobControl& control)
{
    if (CommandRunning(frm) || !frm.SgaCatalogueShown()) {
        return DragOutResult::Refused; // RBF entries cannot be extracted, and nothing runs twice
    }
    const std::vector<std::filesystem::path> files = ExtractForDragOut(frm, nodes, folders, control);
    if (files.empty()) {
        return control.Cancelled() || frm.PendingClose != FrmBig::CloseRequest::None
                   ? DragOutResult::Cancelled
                   : DragOutResult::NothingToDrag;
    }
    if (frm.PendingClose != FrmBig::CloseRequest::None) {
        return DragOutResult::Cancelled;
    }
    return DragFiles(owner, files);
}

DragOutResult DragFiles(HWND owner, const std::vector<std::filesystem::path>& files)
{
    if (files.empty()) {
        return DragOutResult::NothingToDrag;
    }
    if (owner) {
        UpdateWindow(owner); // what a progress dialog covered is drawn again before the drag loop
    }
    IDataObject* data = MakeFileDataObject(files);
    IDropSource* source = MakeDropSource();
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
    source->Release();
    data->Release();
    return result == DRAGDROP_S_DROP && effect != DROPEFFECT_NONE ? DragOutResult::Dropped
                                                                  : DragOutResult::NotDropped;
}

} // namespace archive::win32
