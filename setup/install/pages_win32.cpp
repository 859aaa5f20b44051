// The install wizard's pages: welcome, licence, destination, advertisement and finish.
#include "setup/install/licence_texts.h"
#include "setup/install/pages.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "lib/approot.h"
#include "lib/hash.h"
#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"
#include "lib/timetext.h"
#include "lib/win/printer.h"
#include "lib/winhandles.h"
#include "setup/config.h"
#include "setup/deletionguard.h"
#include "setup/install/diskspace.h"
#include "setup/install/install.h"
#include "setup/install/installstate.h"
#include "setup/install/installwizard.h"
#include "setup/res/messages.h"

namespace {

constexpr int GEOCLASS_NATION_ID = 16;
constexpr int CREATE_MAPPED_BITMAP_ORDINAL = 8;

// The code page of the page texts, which chooses the fonts' character set.
int ActiveCodePage() {
    return static_cast<int>(TEXTCODEC::ActiveCodePage());
}

const char* const SHOW_ONLY = "ShowOnly=";

STRING Message(int id) {
    return OSYS::GetStringFromResource(id);
}

STRING NotNull(const STRING& text) {
    return text.NotNull() ? text : STRING("");
}

// The state of the installation whose wizard shows the page.
INSTALLSTATE& StateOf(SETUPDIALOGBOX* wizard) {
    return InstallationOf(wizard).State();
}

int InstallModeNumber(const INSTALLSTATE& state) {
    return state.Choices.InstallMode.ToInt();
}

// Header texts of the wizard frame.
void SetWizardText(SETUPDIALOGBOX* wizard, int id, const STRING& text) {
    CONTROL(wizard->Hwnd(), id).SetText(text.Text());
}
STRING WizardText(SETUPDIALOGBOX* wizard, int id) {
    return CONTROL(wizard->Hwnd(), id).GetText();
}
void ReplaceInWizardText(SETUPDIALOGBOX* wizard, int id, const char* placeholder, const STRING& by) {
    STRING text = WizardText(wizard, id);
    text.Replace(placeholder, by.Text());
    SetWizardText(wizard, id, text);
}

// ---- welcome ----------------------------------------------------------------------------------------------

void ShowHeaderIcon(SETUPDIALOGBOX* wizard, const STRING& idicon) {
    if (idicon.IsEmpty())
        return;
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(idicon.ToInt()));
    LogPrintf("SETUP::WelcomePage icon %d %s\n", idicon.ToInt(), icon ? "shown" : "not found");
    if (icon)
        CONTROL(wizard->Hwnd(), IDC_WIZARD_ICON).Send(STM_SETICON, reinterpret_cast<WPARAM>(icon));
}

void ShowWelcomeWarning(DATADIALOG* page, const CONFIGREADER& config) {
    const STRING appname = config.Text("AppName", "");
    const STRING warning = WelcomeWarningToShow(config.Text("WelcomeWarning", ""), TIMETEXT::DateNow());
    if (warning.NotEmpty())
        WINORVIK::InfoMsgBox(page->Hwnd(), appname.Text(), warning.Text());
}

// ---- licence ----------------------------------------------------------------------------------------------

// The user's nation, or -1 when the system cannot tell (GetUserGeoID is missing before Windows XP).
long UserNation() {
    using GETUSERGEOID = long(WINAPI*)(int geoclass);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto getusergeoid =
        kernel
            ? reinterpret_cast<GETUSERGEOID>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetUserGeoID")))
            : nullptr;
    return getusergeoid ? getusergeoid(GEOCLASS_NATION_ID) : -1;
}

STRING LoadLicenceText(int languagecode) {
    STRING text;
    if (LoadMakerText(LicenceFileName(languagecode), text))
        return text;
    LogPrintf("SETUP::LicencePage %s not loadable, built-in text\n", LicenceFileName(languagecode));
    return STRING(TEXTCODEC::FromUtf8(TEXTCODEC::MakerText(EmbeddedLicenceText(languagecode))).c_str());
}

void PrintLicenceButton(void*, intptr_t, HWND page, STRING& text) {
    PrintLicence(page, text);
}

// Next follows the acceptance check box on every command of the page.
LRESULT LicenceCommandHook(WINDOW* page, UINT message, WPARAM, LPARAM) {
    if (message == WM_COMMAND) {
        const bool accepted = IsDlgButtonChecked(page->Hwnd(), IDC_LICENCE_ACCEPT) == BST_CHECKED;
        EnableWindow(GetDlgItem(GetParent(page->Hwnd()), IDC_WIZARD_NEXT), accepted);
    }
    return 0;
}

// ---- destination ------------------------------------------------------------------------------------------

struct COTASKMEMDELETER {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

int CALLBACK StartInFolder(HWND chooser, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED)
        SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, start);
    return 0;
}

void BrowseForFolder(void*, intptr_t, HWND page, STRING&) {
    COMSCOPE com;
    const STRING title = Message(IDS_DEST_TITLE).Word(0, "|", WORD_NOTNULL);
    const STRING start = CONTROL(page, IDC_DEST_FOLDER).GetText();
    BROWSEINFOA info = {};
    info.hwndOwner = page;
    info.lpszTitle = title.Text();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = StartInFolder;
    info.lParam = reinterpret_cast<LPARAM>(start.Text());
    std::unique_ptr<ITEMIDLIST, COTASKMEMDELETER> chosen(SHBrowseForFolderA(&info));
    char folder[MAX_PATH] = {};
    if (chosen && SHGetPathFromIDListA(chosen.get(), folder)) {
        LogPrintf("SETUP::DestinationPage chosen %s\n", folder);
        CONTROL(page, IDC_DEST_FOLDER).SetText(folder);
    }
}

// A message box on the destination page, when there is something to say.
bool Refused(HWND page, const STRING& text) {
    if (text.IsEmpty())
        return false;
    WINORVIK::ErrorMsgBox(page, Message(IDS_MSGBOX_TITLE).Text(), text.Text());
    return true;
}

// ---- advertisement ----------------------------------------------------------------------------------------

// A font given to a control for the time of the page; the control gets its previous font back.
class PAGEFONT {
public:
    PAGEFONT(HWND page, int id, int points, bool bold)
        : Control(GetDlgItem(page, id)),
          Font(CreateScreenFont("Arial", points, bold, false, false, ActiveCodePage())) {
        Previous = reinterpret_cast<HFONT>(SendMessageA(Control, WM_GETFONT, 0, 0));
        SendMessageA(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font.get()), TRUE);
    }
    ~PAGEFONT() { SendMessageA(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Previous), FALSE); }
    PAGEFONT(const PAGEFONT&) = delete;
    PAGEFONT& operator=(const PAGEFONT&) = delete;

private:
    HWND Control;
    GDIHANDLE<HFONT> Font;
    HFONT Previous = nullptr;
};

void OpenUrl(void* url, intptr_t, HWND page, STRING&) {
    const STRING& link = *static_cast<const STRING*>(url);
    LogPrintf("SETUP::AdvertisePage opens %s\n", link.Text());
    ShellExecuteA(page, "open", link.Text(), nullptr, nullptr, SW_SHOWNORMAL);
}

// A page text, or the control's own text with "$PROG" replaced when the table gives none.
void SetTeaser(HWND page, int id, const STRING& text, const STRING& prog) {
    CONTROL control(page, id);
    if (text.NotEmpty()) {
        control.SetText(text.Text());
        return;
    }
    STRING own = control.GetText();
    own.Replace("$PROG", prog.Text());
    control.SetText(own.Text());
}

// ---- finish -----------------------------------------------------------------------------------------------

// The finish picture with pure red shown in the colour of buttons.
HBITMAP LoadFinishPicture() {
    using CREATEMAPPEDBITMAP = HBITMAP(WINAPI*)(HINSTANCE, INT_PTR, UINT, LPCOLORMAP, int);
    HMODULE comctl = GetModuleHandleA("comctl32");
    auto create = comctl ? reinterpret_cast<CREATEMAPPEDBITMAP>(reinterpret_cast<void*>(
                               GetProcAddress(comctl, MAKEINTRESOURCEA(CREATE_MAPPED_BITMAP_ORDINAL))))
                         : nullptr;
    if (!create)
        return nullptr;
    COLORMAP red = {RGB(255, 0, 0), GetSysColor(COLOR_BTNFACE)};
    return create(GetModuleHandleA(nullptr), IDB_FINISH_PICTURE, 0, &red, 1);
}

} // namespace

// ---- decisions --------------------------------------------------------------------------------------------

INSTALLKIND ProposeInstallKind(bool previousfound, const STRING& recordedversion, const STRING& appversion,
                               const STRING& currentmode) {
    INSTALLKIND kind{currentmode, false, false};
    if (!previousfound)
        return kind;
    const int order = StringCompareNoCase(NotNull(recordedversion).Text(), NotNull(appversion).Text());
    if (order < 0)
        kind.Mode = "2";
    else if (order == 0)
        kind.Mode = "1";
    kind.ReinstallAllowed = order >= 0;
    kind.UpdateAllowed = order != 0;
    return kind;
}

STRING WelcomeWarningToShow(const STRING& warning, const STRING& today) {
    if (warning.IsEmpty())
        return STRING("");
    if (!StartsWithNoCase(warning, SHOW_ONLY))
        return warning;
    int linefeed = -1;
    const bool hastext = warning.Find("\n", &linefeed);
    STRING condition = hastext ? warning.Left(linefeed) : warning;
    const STRING text = hastext ? warning.Mid(linefeed + 1) : STRING("");
    condition.CutLeft(static_cast<int>(std::strlen(SHOW_ONLY)));
    condition.Strip('B', " \t\r");
    if (condition.Length() > 0) {
        const STRING date = condition.Mid(1);
        const bool todayafter = std::strcmp(today.Text(), date.Text()) > 0;
        if (condition[0] == '<' && todayafter)
            return STRING("");
        if (condition[0] == '>' && !todayafter)
            return STRING("");
    }
    return NotNull(text);
}

STRING FirstLineOf(const STRING& text) {
    STRING line = NotNull(text);
    line.Replace("\r", "\n");
    int linefeed = -1;
    if (line.Find("\n", &linefeed))
        line.Truncate(linefeed);
    return line;
}

STRING NormaliseInstallDir(const STRING& folder, const STRING& appname) {
    STRING normal = NotNull(folder);
    if (normal.Length() > 0 && normal[normal.Length() - 1] == '\\')
        normal.Truncate(normal.Length() - 1);
    if (normal.Length() < 5)
        normal = normal || "\\" || NotNull(appname);
    return normal;
}

STRING DeviceManagerInstallDir(const STRING& managerpath, const STRING& appname) {
    return DirectoryOf(NotNull(managerpath).Text()) || "\\" || NotNull(appname);
}

// A folder of the system or of the user (or one that holds such a folder) is never a destination: the
// product's files would lie loose among the user's own, and no uninstall could tell them apart.
STRING DestinationRefusal(const STRING& folder) {
    const TREEVERDICT verdict = JudgeDestinationFolder(folder);
    if (verdict == TREEVERDICT::Allowed)
        return STRING("");
    LogPrintf("SETUP::DestinationPage %s refused: %s\n", folder.Text(), TreeVerdictText(verdict));
    STRING text = Message(IDS_ERR_DEST_RESERVED);
    text.Replace("$DIR", folder.Text());
    return text;
}

// The destination's volume must take the installation before any file is copied: a copy that fills the
// drive half way leaves a broken product behind. A volume the system cannot measure is left to the copy.
STRING SpaceShortage(const HASH& config, const STRING& folder) {
    const VOLUMESPACE volume = QueryVolumeSpace(folder);
    if (!volume.Known) {
        LogPrintf("SETUP::DestinationPage free space of %s unknown, not checked\n", folder.Text());
        return STRING("");
    }
    const SPACENEED need = InstallationNeed(config, folder, volume.Cluster);
    LogPrintf("SETUP::DestinationPage space on %s: %llu bytes needed (%llu written, %llu replaced, %llu "
              "journal), %llu free, cluster %llu\n",
              volume.Root.Text(), static_cast<unsigned long long>(need.Net()),
              static_cast<unsigned long long>(need.Written()),
              static_cast<unsigned long long>(need.Replaced()), static_cast<unsigned long long>(need.Journal()),
              static_cast<unsigned long long>(volume.Free),
              static_cast<unsigned long long>(volume.Cluster));
    if (need.Net() <= volume.Free)
        return STRING("");
    STRING text = Message(IDS_ERR_DISK_SPACE);
    text.Replace("$PROGRAM", CONFIGREADER(config).Text("AppName", "").Text());
    text.Replace("$DIR", folder.Text());
    STRING figure;
    figure.Printf("%llu", static_cast<unsigned long long>(MegabytesUp(need.Net())));
    text.Replace("$NEED", figure.Text());
    figure.Printf("%llu", static_cast<unsigned long long>(MegabytesDown(volume.Free)));
    text.Replace("$FREE", figure.Text());
    return text;
}

// ---- pages ------------------------------------------------------------------------------------------------

int WelcomePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    INSTALLSTATE& state = StateOf(wizard);
    const CONFIGREADER config(state.Config);
    ShowHeaderIcon(wizard, config.Text("IdIcon", ""));

    const PREVIOUSINSTALL previous = ReadPreviousInstall(config.Text("IniKey", ""));
    const INSTALLKIND kind = ProposeInstallKind(previous.Found(), previous.Version,
                                                config.Text("AppVersion", ""), state.Choices.InstallMode);
    state.Choices.InstallMode = kind.Mode;
    LogPrintf("SETUP::WelcomePage install mode %s\n", state.Choices.InstallMode.Text());

    ShowWelcomeWarning(page, config);
    SetWizardText(wizard, IDC_WIZARD_SUBTITLE, FirstLineOf(config.Text("WelcomeMsg", "")));
    SetWizardText(wizard, IDC_WIZARD_TITLE, WizardText(wizard, IDC_WIZARD_TITLE) || state.ProductTitle);

    page->AddItem(new DATARADIO(IDC_WELCOME_NEW, state.Choices.InstallMode, 0));
    page->AddItem(new DATARADIO(IDC_WELCOME_REINSTALL, state.Choices.InstallMode, 1));
    page->AddItem(new DATARADIO(IDC_WELCOME_UPDATE, state.Choices.InstallMode, 2));
    CONTROL(page->Hwnd(), IDC_WELCOME_REINSTALL).Enable(kind.ReinstallAllowed);
    CONTROL(page->Hwnd(), IDC_WELCOME_UPDATE).Enable(kind.UpdateAllowed);
    CONTROL(wizard->Hwnd(), IDC_WIZARD_NEXT).Enable();
    return wizard->RunPage();
}

int LicencePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    INSTALLSTATE& state = StateOf(wizard);
    if (InstallModeNumber(state) == 1)
        return PAGE_REPEAT_DIRECTION; // the same version again: its licence was accepted before

    const int language = LicenceLanguageCode(Message(IDS_LICENCE_LANGUAGE), UserNation());
    STRING text = PrepareLicenceText(LoadLicenceText(language), state.ProductTitle);

    page->AddItem(new DATAPUSHBUTTON(IDC_LICENCE_PRINT, text, PrintLicenceButton, nullptr, 0));
    CONTROL(page->Hwnd(), IDC_LICENCE_TEXT).SetText(text.Text());
    page->SetWindowHook(LicenceCommandHook);

    CONTROL next(wizard->Hwnd(), IDC_WIZARD_NEXT);
    next.SetDefaultButton(false);
    next.Disable();
    InvalidateRect(next.Hwnd(), nullptr, TRUE);
    const int result = wizard->RunPage();
    // Next is enabled only while the box is ticked: going on means accepting.
    if (result == PAGE_NEXT)
        state.Choices.LicenceAccepted = true;
    return result;
}

void PrintLicenceOn(PRINTER& printer, const STRING& text) {
    printer.SetFont("Courier New", 12, false, false, false, ActiveCodePage());
    printer.SetMargins(25, 25, 15, 20);
    printer.StartDoc("ORDER", 0);
    printer.NewPage();
    printer.WriteText(text.Text(), text.Length());
    printer.EndDoc();
}

void PrintLicence(HWND owner, const STRING& text) {
    PRINTER printer;
    if (!printer.PrinterDialog(owner)) {
        LogPrintf("SETUP::PrintLicence no printer chosen\n");
        return;
    }
    PrintLicenceOn(printer, text);
}

int DestinationPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    INSTALLSTATE& state = StateOf(wizard);
    const CONFIGREADER config(state.Config);
    const STRING appname = config.Text("AppName", "");
    if (config.Number("ActiveSyncInstall") != 0) {
        state.Choices.InstallDir = DeviceManagerInstallDir(state.DeviceManagerPath, appname);
        return PAGE_NEXT;
    }

    STRING unused; // the browse button's own value; the folder lives in the entry
    page->AddItem(new DATAENTRY(IDC_DEST_FOLDER, state.Choices.InstallDir, INSTALL_DIR_MAX_TYPED));
    page->AddItem(new DATAPUSHBUTTON(IDC_DEST_BROWSE, unused, BrowseForFolder, nullptr, 0));
    if (InstallModeNumber(state) == 1 || InstallModeNumber(state) == 2) {
        CONTROL(page->Hwnd(), IDC_DEST_FOLDER).Disable(); // an update keeps its folder
        CONTROL(page->Hwnd(), IDC_DEST_BROWSE).Disable();
    }

    int result = wizard->RunPage();
    state.Choices.InstallDir = NormaliseInstallDir(state.Choices.InstallDir, appname);
    while (result == PAGE_NEXT) {
        if (Refused(page->Hwnd(), DestinationRefusal(state.Choices.InstallDir))) {
            // Even an update must be able to leave a folder that no product may own.
            CONTROL(page->Hwnd(), IDC_DEST_FOLDER).Enable();
            CONTROL(page->Hwnd(), IDC_DEST_BROWSE).Enable();
        } else if (!Refused(page->Hwnd(), SpaceShortage(state.Config, state.Choices.InstallDir))) {
            break;
        }
        // Too little space leaves an update's folder locked: the user frees space on its drive.
        result = wizard->RunPage();
        state.Choices.InstallDir = NormaliseInstallDir(state.Choices.InstallDir, appname);
    }
    LogPrintf("SETUP::DestinationPage %s, result %d\n", state.Choices.InstallDir.Text(), result);
    return result;
}

int AdvertisePage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    const CONFIGREADER config(StateOf(wizard).Config);
    const STRING file = config.Text("Advertise", "");
    HASH advertisement;
    if (file.IsEmpty() || !LoadConfigTable(advertisement, file.Text())) {
        LogPrintf("SETUP::AdvertisePage no advertisement (%s)\n", file.Text());
        return PAGE_NEXT;
    }
    PostProcessConfig(advertisement, Message(IDS_LANGUAGE_SUFFIX));
    const CONFIGREADER texts(advertisement);
    const STRING url = texts.Text("Url", "");
    const STRING product = texts.Text("Product", "");
    const STRING appname = config.Text("AppName", "");

    ReplaceInWizardText(wizard, IDC_WIZARD_TITLE, "$PROG", appname);
    ReplaceInWizardText(wizard, IDC_WIZARD_SUBTITLE, "$PROG", product);

    HWND window = page->Hwnd();
    const PAGEFONT teaser1font(window, IDC_ADVERTISE_TEASER1, 12, true);
    const PAGEFONT teaser2font(window, IDC_ADVERTISE_TEASER2, 9, true);
    const PAGEFONT descriptionfont(window, IDC_ADVERTISE_DESCRIPTION, 8, false);
    SetTeaser(window, IDC_ADVERTISE_TEASER1, texts.Text("Teaser1", ""), appname);
    SetTeaser(window, IDC_ADVERTISE_TEASER2, texts.Text("Teaser2", ""), product);
    CONTROL(window, IDC_ADVERTISE_DESCRIPTION).SetText(texts.Text("Description", "").Text());
    CONTROL(window, IDC_ADVERTISE_LINK).SetText(url.Text());

    STRING unused;
    page->AddItem(new DATAPUSHBUTTON(IDC_ADVERTISE_LINK, unused, OpenUrl, const_cast<STRING*>(&url), 0));
    return wizard->RunPage();
}

int FinishPage(SETUPDIALOGBOX* wizard, DATADIALOG* page) {
    const CONFIGREADER config(StateOf(wizard).Config);
    GDIHANDLE<HBITMAP> picture(LoadFinishPicture());
    ReplaceInWizardText(wizard, IDC_WIZARD_SUBTITLE, "$PROG", config.Text("AppName", ""));
    CONTROL(page->Hwnd(), IDC_FINISH_TEXT).SetText(config.Text("FinishMsg", "").Text());

    HWND control = GetDlgItem(page->Hwnd(), IDC_FINISH_PICTURE);
    if (control && picture) {
        const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
        SetWindowLongPtrA(control, GWL_STYLE, (style & ~SS_TYPEMASK) | SS_BITMAP);
        SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
    }
    const int result = wizard->RunPage();
    if (control && picture)
        SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, 0); // the bitmap goes with this function
    return result;
}
