#include "screen_reader.h"

#include "player_ids.h"

#include <oleacc.h>

namespace {

// UI Automation's LiveSetting property and its "polite" value, as documented for Win32
// live regions.
const GUID live_setting_property = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
const int polite_live_setting = 1;
// Those of the annotation service, kept here: the library that also defines them defines
// IID_IAccessible a second time beside the system's GUID library.
const GUID annotation_service_class = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const GUID annotation_service_interface = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const GUID accessible_name_property = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
// Declared by the headers only for Windows 8 and later; older systems pass it on unheard.
const DWORD live_region_changed_event = 0x8019;

IAccPropServices *annotations() {
    IAccPropServices *services = nullptr;
    if (FAILED(CoCreateInstance(annotation_service_class, nullptr, CLSCTX_INPROC_SERVER,
                                annotation_service_interface,
                                reinterpret_cast<void **>(&services))))
        return nullptr;
    return services;
}

} // namespace

// The "?" button shows a question mark; read out, it should say what it does. The
// now-playing lines take their names from hidden labels in the dialog template.
void annotate_for_screen_readers(HWND window) {
    IAccPropServices *services = annotations();
    if (!services)
        return;
    services->SetHwndPropStr(GetDlgItem(window, IDC_ABOUT), OBJID_CLIENT, CHILDID_SELF,
                             accessible_name_property, const_cast<wchar_t *>(L"About Brevora"));
    VARIANT live;
    VariantInit(&live);
    live.vt = VT_I4;
    live.lVal = polite_live_setting;
    services->SetHwndProp(GetDlgItem(window, IDC_TITLE_LINE), OBJID_CLIENT, CHILDID_SELF,
                          live_setting_property, live);
    services->Release();
}

void announce_title_change(HWND window) {
    NotifyWinEvent(live_region_changed_event, GetDlgItem(window, IDC_TITLE_LINE), OBJID_CLIENT,
                   CHILDID_SELF);
}

void remove_screen_reader_annotations(HWND window) {
    IAccPropServices *services = annotations();
    if (!services)
        return;
    MSAAPROPID name = accessible_name_property;
    services->ClearHwndProps(GetDlgItem(window, IDC_ABOUT), OBJID_CLIENT, CHILDID_SELF, &name, 1);
    MSAAPROPID live = live_setting_property;
    services->ClearHwndProps(GetDlgItem(window, IDC_TITLE_LINE), OBJID_CLIENT, CHILDID_SELF, &live,
                             1);
    services->Release();
}
