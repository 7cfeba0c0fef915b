// ZentrikWin's resources as the program sees them: the same compiled
// resource script is linked into this test program, which loads menus,
// dialogs, icons and the version from its own module.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "shell/resource.h"
#include "zentrik_version.h"

// The expected texts below are written as they read; they only match the
// resources' Windows-1252 bytes when literals are compiled to Windows-1252.
static_assert(sizeof("â") == 2, "build with -fexec-charset=CP1252");

namespace {

HINSTANCE self()
{
    return GetModuleHandleA(nullptr);
}

// Every text check goes through the A functions, which convert the
// resources' UTF-16 to the ANSI code page, as the program's own calls do.
// Wine takes that code page from the Unix locale (C.UTF-8 and en_US give
// 1252); in another one the texts below would differ for that reason alone.
TEST(ResourceTexts, AnsiCodePageIsWindows1252)
{
    ASSERT_EQ(GetACP(), 1252u);
}

// ---------------------------------------------------------------- menus

enum class Kind { Item, Separator, Submenu };

struct MenuRow {
    int level;
    UINT id;
    std::string text;
    Kind kind;
    UINT state;  // MFS_DEFAULT, MFS_GRAYED or 0 (enabled)
    bool operator==(const MenuRow&) const = default;
};

void PrintTo(const MenuRow& row, std::ostream* out)
{
    static const char* const kinds[] = {"item", "separator", "submenu"};
    *out << "{level " << row.level << ", id " << row.id << ", \"" << row.text << "\", "
         << kinds[static_cast<int>(row.kind)] << ", state 0x" << std::hex << row.state
         << std::dec << "}";
}

// A popup of a plain (not extended) menu template has no id in the template,
// so its id is not checked.
constexpr UINT ANY_ID = ~0u;

using Menu = std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&DestroyMenu)>;

Menu load_menu(int id)
{
    return Menu(LoadMenuA(self(), MAKEINTRESOURCEA(id)), &DestroyMenu);
}

// The items of the menu and, depth first, of its submenus.
void flatten(HMENU menu, int level, std::vector<MenuRow>& rows)
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info)) << "item " << i;
        const Kind kind = info.hSubMenu != nullptr         ? Kind::Submenu
                          : (info.fType & MFT_SEPARATOR) != 0 ? Kind::Separator
                                                              : Kind::Item;
        rows.push_back({level, info.wID, text, kind, info.fState & (MFS_DEFAULT | MFS_GRAYED)});
        if (info.hSubMenu != nullptr)
            flatten(info.hSubMenu, level + 1, rows);
    }
}

void expect_menu(HMENU menu, int level, const std::vector<MenuRow>& want)
{
    std::vector<MenuRow> got;
    flatten(menu, level, got);
    for (size_t i = 0; i < want.size() && i < got.size(); ++i) {
        if (want[i].id == ANY_ID)
            got[i].id = ANY_ID;
        EXPECT_EQ(got[i], want[i]) << "row " << i;
    }
    EXPECT_EQ(got.size(), want.size());
}

MenuRow separator(int level)
{
    return {level, 0, "", Kind::Separator, 0};
}

TEST(MenuResources, TrayMenuHoldsOnePopupWithTheCommandsInOrder)
{
    const Menu menu = load_menu(IDM_TRAY);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 1);
    const HMENU popup = GetSubMenu(menu.get(), 0);
    ASSERT_NE(popup, nullptr);

    const UINT enabled = 0;
    expect_menu(popup, 1,
                {
                    {1, IDC_TASK_MANAGER, "&Gestionnaire des tâches", Kind::Item, MFS_DEFAULT},
                    {1, IDC_ABOUT, "&A Propos ...", Kind::Item, enabled},
                    {1, IDC_PROCESS_MENU, "Liste des &Processus...", Kind::Submenu, enabled},
                    {2, IDC_PROCESS_HEADING, "Terminer...", Kind::Item, MFS_GRAYED},
                    separator(2),
                    {2, IDC_PROCESS_EMPTY, "vide", Kind::Item, MFS_GRAYED},
                    {1, IDC_PLUGIN_MENU, "Plu&g-ins...", Kind::Submenu, enabled},
                    {2, IDC_PLUGIN_LOAD, "&Charger un plug-in...", Kind::Item, enabled},
                    separator(2),
                    {2, IDC_PLUGIN_CONFIGURE, "C&onfigurer le plug-in", Kind::Item, MFS_GRAYED},
                    {2, IDC_PLUGIN_ABOUT, "&A Propos", Kind::Item, MFS_GRAYED},
                    separator(2),
                    {2, IDC_PLUGIN_UNLOAD, "&Décharger le plug-in", Kind::Item, MFS_GRAYED},
                    {1, IDC_TASK_MENU, "&Tâches", Kind::Submenu, enabled},
                    {2, IDC_ADD_TASK, "&Ajouter une tâche ...", Kind::Item, enabled},
                    separator(2),
                    {2, IDC_NO_TASK, "Aucune tâche saisie", Kind::Item, MFS_GRAYED},
                    separator(1),
                    {1, IDC_STOP, "&Stopper la tâche courante", Kind::Item, enabled},
                    {1, IDC_RESET_ALL, "&Compteurs à zéro", Kind::Item, enabled},
                    {1, IDC_REPORT, "Sauve&garde ...", Kind::Item, enabled},
                    separator(1),
                    {1, IDC_QUIT, "&Sortie", Kind::Item, enabled},
                });
}

// The shell edits the tray menu by command id, submenus included: that needs
// the ids that only an extended menu gives its popups.
TEST(MenuResources, TrayMenuSubmenusAreFoundByTheirIds)
{
    const Menu menu = load_menu(IDM_TRAY);
    ASSERT_NE(menu, nullptr);
    const HMENU popup = GetSubMenu(menu.get(), 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), static_cast<UINT>(IDC_TASK_MANAGER));

    MENUITEMINFOA tasks = {};
    tasks.cbSize = sizeof tasks;
    tasks.fMask = MIIM_SUBMENU;
    ASSERT_TRUE(GetMenuItemInfoA(popup, IDC_TASK_MENU, FALSE, &tasks));
    EXPECT_EQ(GetMenuItemID(tasks.hSubMenu, 2), static_cast<UINT>(IDC_NO_TASK));

    EXPECT_TRUE(RemoveMenu(popup, IDC_PROCESS_MENU, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuState(popup, IDC_PROCESS_HEADING, MF_BYCOMMAND), static_cast<UINT>(-1))
        << "the heading went with its submenu";
}

TEST(MenuResources, FileMenuHoldsQuit)
{
    const Menu menu = load_menu(IDM_FILE);
    ASSERT_NE(menu, nullptr);
    expect_menu(menu.get(), 0,
                {
                    {0, ANY_ID, "&Fichier", Kind::Submenu, 0},
                    {1, IDC_FILE_QUIT, "&Sortie", Kind::Item, 0},
                });
}

// -------------------------------------------------------------- dialogs

struct Control {
    int id;  // -1 for the statics without id
    const char* class_name;
    const char* text;
    RECT units;  // x, y, width, height in dialog units
    LONG style_mask;
    LONG style;  // expected value of the bits in style_mask
    bool border;
};

// Kinds of control: class and the style bits that make them what they are.
// A border is WS_BORDER in the template; the dialog manager turns it into
// WS_EX_CLIENTEDGE (DS_3DLOOK). A list box also drops WS_VSCROLL from its
// style while its items fit, so that bit is checked apart.
Control static_text(const char* text, RECT units)
{
    return {-1, "Static", text, units, SS_TYPEMASK, SS_LEFT, false};
}
Control centred_text(const char* text, RECT units)
{
    return {-1, "Static", text, units, SS_TYPEMASK, SS_CENTER, false};
}
Control push_button(int id, const char* text, RECT units)
{
    return {id, "Button", text, units, BS_TYPEMASK, BS_PUSHBUTTON, false};
}
Control default_button(int id, const char* text, RECT units)
{
    return {id, "Button", text, units, BS_TYPEMASK, BS_DEFPUSHBUTTON, false};
}
Control group_box(const char* text, RECT units)
{
    return {-1, "Button", text, units, BS_TYPEMASK, BS_GROUPBOX, false};
}
Control time_field(int id, RECT units)
{
    const LONG mask = ES_READONLY | ES_CENTER | ES_RIGHT | ES_MULTILINE;
    return {id, "Edit", "", units, mask, ES_READONLY | ES_CENTER, true};
}
Control name_field(int id, RECT units)
{
    const LONG mask = ES_READONLY | ES_AUTOHSCROLL | ES_MULTILINE;
    return {id, "Edit", "", units, mask, ES_AUTOHSCROLL, true};
}
Control task_list(int id, RECT units)
{
    const LONG mask = LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | LBS_MULTIPLESEL;
    return {id, "ListBox", "", units, mask, LBS_NOTIFY, true};
}

struct DialogCase {
    const char* name;
    int id;
    const char* title;
    const char* font;
    int points;
    SIZE units;  // client area in dialog units
    bool system_menu;
    bool modal_frame;
    bool system_modal;  // DS_SYSMODAL and WS_EX_TOPMOST
    bool centred;
    std::vector<Control> controls;  // in creation (tab) order
};

void PrintTo(const DialogCase& dialog, std::ostream* out)
{
    *out << dialog.name;
}

const DialogCase DIALOGS[] = {
    {"TaskManager",
     IDD_TASK_MANAGER,
     "Gestionnaire des tâches",
     "Helv",
     8,
     {260, 108},
     true,
     false,
     true,
     false,
     {
         static_text("Liste des tâches", {5, 6, 57, 8}),
         task_list(IDC_TM_LIST, {5, 17, 178, 71}),
         push_button(IDC_TM_ADD, "&Ajouter", {194, 17, 60, 14}),
         push_button(IDC_TM_TOGGLE, "&Démarrer/Arrêter", {194, 33, 60, 14}),
         push_button(IDC_TM_RESET, "&Compteur à 0", {194, 49, 60, 14}),
         push_button(IDC_TM_DELETE, "&Supprimer", {194, 65, 60, 14}),
         default_button(IDC_TM_CLOSE, "&Fermer", {194, 89, 60, 14}),
         static_text("Temps Tâche : ", {5, 81, 50, 8}),
         time_field(IDC_TM_TASK_TIME, {55, 80, 60, 10}),
         static_text("Temps Total : ", {5, 93, 50, 8}),
         time_field(IDC_TM_TOTAL_TIME, {55, 92, 60, 10}),
     }},
    {"AddTask",
     IDD_ADD_TASK,
     "Ajouter une tâche",
     "MS Sans Serif",
     8,
     {200, 47},
     false,
     true,
     false,
     false,
     {
         static_text("Nouvelle Tâche:", {5, 7, 58, 8}),
         name_field(IDC_ADD_NAME, {65, 5, 128, 12}),
         default_button(IDOK, "OK", {45, 26, 50, 14}),
         push_button(IDCANCEL, "Annuler", {115, 26, 50, 14}),
     }},
    {"About",
     IDD_ABOUT,
     "Zentrik for Windows - A Propos ...",
     "MS Sans Serif",
     8,
     {239, 79},
     true,
     true,
     true,
     true,
     {
         default_button(IDOK, "&OK", {174, 53, 50, 14}),
         group_box("About this program...", {7, 7, 225, 65}),
         centred_text("Zentrik Windows (v" ZENTRIK_VERSION_COMMAS ")\n"
                      "Planificateur de tâches avec gestionnaire de plug-in\n"
                      "\n"
                      "Ecrit par l'équipe Zentrik\n"
                      "© 2026 Zentrik",
                      {16, 18, 144, 50}),
     }},
};

INT_PTR CALLBACK ignore_messages(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string window_text(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string rect_text(const RECT& r)
{
    char text[64];
    std::snprintf(text, sizeof text, "(%ld, %ld)-(%ld, %ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

// The control's window rectangle in the dialog's client coordinates.
RECT placement(HWND dialog, HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The dialog manager converts position and size each on its own, so the
// right edge is x + width converted apart, which may differ by a pixel from
// converting the right edge's dialog units.
RECT pixels(HWND dialog, const RECT& units)
{
    RECT r = units;
    MapDialogRect(dialog, &r);
    return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

using Window = std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)>;

struct DialogResource : testing::TestWithParam<DialogCase> {
    void SetUp() override
    {
        dialog.reset(CreateDialogParamA(self(), MAKEINTRESOURCEA(GetParam().id), nullptr,
                                        ignore_messages, 0));
        // Error 1400 (invalid window handle) here means that Wine found no
        // display: run the test under xvfb-run.
        ASSERT_NE(dialog, nullptr) << "error " << GetLastError();
    }
    Window dialog{nullptr, &DestroyWindow};
};

TEST_P(DialogResource, HasItsTitleStyleFontAndSize)
{
    const DialogCase& want = GetParam();
    const HWND d = dialog.get();
    EXPECT_EQ(window_text(d), want.title);

    const LONG style = GetWindowLongA(d, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_EQ((style & WS_SYSMENU) != 0, want.system_menu);
    EXPECT_EQ((style & DS_MODALFRAME) != 0, want.modal_frame);
    EXPECT_EQ((style & DS_SYSMODAL) != 0, want.system_modal);
    EXPECT_EQ((GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, want.system_modal);
    EXPECT_EQ((style & DS_CENTER) != 0, want.centred);

    // The dialog manager asks for the template's face and the point size as a
    // negative pixel height; GetObject gives back that request, not the font
    // the system substituted for it.
    LOGFONTA font = {};
    const auto handle = reinterpret_cast<HFONT>(SendMessageA(d, WM_GETFONT, 0, 0));
    ASSERT_NE(handle, nullptr);
    GetObjectA(handle, sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, want.font);
    const HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(want.points, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);

    RECT client;
    GetClientRect(d, &client);
    EXPECT_EQ(rect_text(client), rect_text(pixels(d, {0, 0, want.units.cx, want.units.cy})));
}

TEST_P(DialogResource, HasItsControlsInOrder)
{
    const std::vector<Control>& want = GetParam().controls;
    const HWND d = dialog.get();
    size_t i = 0;
    for (HWND c = GetWindow(d, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT), ++i) {
        if (i >= want.size())
            continue;  // counted below
        const Control& w = want[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " \"" << w.text << "\"");

        EXPECT_EQ(LOWORD(GetDlgCtrlID(c)), LOWORD(w.id));
        char class_name[64] = {};
        GetClassNameA(c, class_name, sizeof class_name);
        EXPECT_EQ(lower(class_name), lower(w.class_name));
        EXPECT_EQ(window_text(c), w.text);
        const LONG style = GetWindowLongA(c, GWL_STYLE);
        EXPECT_EQ(style & w.style_mask, w.style);
        const bool border =
            (style & WS_BORDER) != 0 || (GetWindowLongA(c, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
        EXPECT_EQ(border, w.border);

        const RECT got = placement(d, c);
        const RECT place = pixels(d, w.units);
        if (lower(w.class_name) == "listbox") {
            // Without LBS_NOINTEGRALHEIGHT a list box shortens itself to a
            // whole number of items, by less than one item.
            const int item = static_cast<int>(SendMessageA(c, LB_GETITEMHEIGHT, 0, 0));
            const RECT top_part = {got.left, got.top, got.right, place.bottom};
            EXPECT_EQ(rect_text(top_part), rect_text(place));
            EXPECT_LE(got.bottom, place.bottom);
            EXPECT_GT(got.bottom, place.bottom - item);
        } else {
            EXPECT_EQ(rect_text(got), rect_text(place));
        }
    }
    EXPECT_EQ(i, want.size()) << "number of controls";
}

TEST(TaskManagerResource, ListShowsAScrollBarOnceItsItemsOverflow)
{
    const Window dialog(CreateDialogParamA(self(), MAKEINTRESOURCEA(IDD_TASK_MANAGER), nullptr,
                                           ignore_messages, 0),
                        &DestroyWindow);
    ASSERT_NE(dialog, nullptr);
    const HWND list = GetDlgItem(dialog.get(), IDC_TM_LIST);
    for (int i = 0; i < 40; ++i)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Mail"));
    EXPECT_NE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL, 0);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogResource, testing::ValuesIn(DIALOGS),
                         [](const testing::TestParamInfo<DialogCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------- icons

// Layout of an RT_GROUP_ICON resource: a directory whose entries name the
// RT_ICON resources by id.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bit_count;
    DWORD bytes;
    WORD id;
};
struct GroupIconDirectory {
    WORD reserved;
    WORD type;
    WORD count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

const void* resource_data(LPCSTR type, LPCSTR name, DWORD* size)
{
    const HRSRC found = FindResourceA(self(), name, type);
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(self(), found);
    return LockResource(LoadResource(self(), found));
}

const int ICONS[] = {IDI_COG, IDI_RUNNING, IDI_IDLE, IDI_SAVING};

// The standard Windows 16-colour palette, as RGBQUAD (blue, green, red).
const RGBQUAD STANDARD_PALETTE[16] = {
    {0x00, 0x00, 0x00, 0}, {0x00, 0x00, 0x80, 0}, {0x00, 0x80, 0x00, 0}, {0x00, 0x80, 0x80, 0},
    {0x80, 0x00, 0x00, 0}, {0x80, 0x00, 0x80, 0}, {0x80, 0x80, 0x00, 0}, {0xC0, 0xC0, 0xC0, 0},
    {0x80, 0x80, 0x80, 0}, {0x00, 0x00, 0xFF, 0}, {0x00, 0xFF, 0x00, 0}, {0x00, 0xFF, 0xFF, 0},
    {0xFF, 0x00, 0x00, 0}, {0xFF, 0x00, 0xFF, 0}, {0xFF, 0xFF, 0x00, 0}, {0xFF, 0xFF, 0xFF, 0},
};

class IconResource : public testing::TestWithParam<int> {};

TEST_P(IconResource, LoadsAtTheSmallAndTheLargeSize)
{
    for (const int size : {16, 32}) {
        SCOPED_TRACE(testing::Message() << size << " pixels");
        const HICON icon = static_cast<HICON>(
            LoadImageA(self(), MAKEINTRESOURCEA(GetParam()), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << "error " << GetLastError();
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        ASSERT_NE(info.hbmColor, nullptr) << "a colour icon";
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

// One 32 x 32 image of 16 colours, in the standard palette, whose
// transparent pixels are black in the colour bits: the screen is ANDed with
// the mask, then XORed with the colour, so another colour there would show
// as an inverted pixel around the picture.
TEST_P(IconResource, IsOne32By32ImageOf16ColoursWithACleanMask)
{
    DWORD size = 0;
    const auto* group = static_cast<const GroupIconDirectory*>(
        resource_data(RT_GROUP_ICON, MAKEINTRESOURCEA(GetParam()), &size));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->count, 1);
    const GroupIconEntry& entry = group->entries[0];
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bit_count, 4);

    const auto* image = static_cast<const BYTE*>(
        resource_data(RT_ICON, MAKEINTRESOURCEA(entry.id), &size));
    ASSERT_NE(image, nullptr);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
    const size_t palette_bytes = sizeof STANDARD_PALETTE;
    const size_t colour_bytes = 32 * 16;  // 4 bits a pixel, rows already 4-byte aligned
    const size_t mask_bytes = 32 * 4;
    ASSERT_EQ(size, header->biSize + palette_bytes + colour_bytes + mask_bytes);
    EXPECT_EQ(header->biWidth, 32);
    EXPECT_EQ(header->biHeight, 64) << "colour bits and mask";
    EXPECT_EQ(header->biBitCount, 4);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));

    const auto* palette = reinterpret_cast<const RGBQUAD*>(image + header->biSize);
    for (int i = 0; i < 16; ++i) {
        const RGBQUAD& got = palette[i];
        const RGBQUAD& want = STANDARD_PALETTE[i];
        EXPECT_TRUE(got.rgbRed == want.rgbRed && got.rgbGreen == want.rgbGreen &&
                    got.rgbBlue == want.rgbBlue)
            << "palette entry " << i;
    }

    const BYTE* colours = image + header->biSize + palette_bytes;
    const BYTE* mask = colours + colour_bytes;
    int transparent = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool clear = (mask[y * 4 + x / 8] >> (7 - x % 8)) & 1;
            const int colour = (colours[y * 16 + x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
            if (clear) {
                ++transparent;
                EXPECT_EQ(colour, 0) << "transparent pixel " << x << ", " << 31 - y;
            }
        }
    }
    EXPECT_GT(transparent, 0) << "the picture has a transparent surround";
    EXPECT_LT(transparent, 32 * 32) << "the picture has something to show";
}

INSTANTIATE_TEST_SUITE_P(Icons, IconResource, testing::ValuesIn(ICONS),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Icon" + std::to_string(info.param);
                         });

// -------------------------------------------------------------- version

struct VersionInfo {
    std::vector<char> data;

    std::string text(const char* name) const
    {
        const std::string path = std::string("\\StringFileInfo\\040C04E4\\") + name;
        char* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            return "(none)";
        return value;
    }
};

VersionInfo read_own_version()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD ignored = 0;
    VersionInfo info;
    info.data.resize(GetFileVersionInfoSizeA(path, &ignored));
    if (!info.data.empty() &&
        !GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.data.size()), info.data.data()))
        info.data.clear();
    return info;
}

// The version comes from CMakeLists.txt; the texts are made here from its
// four numbers, so a header that garbles one of its forms shows.
std::string version_text(char separator)
{
    std::string text;
    for (const int number : {ZENTRIK_VERSION_MAJOR, ZENTRIK_VERSION_MINOR, ZENTRIK_VERSION_PATCH,
                             ZENTRIK_VERSION_TWEAK})
        text += (text.empty() ? "" : std::string(1, separator)) + std::to_string(number);
    return text;
}

TEST(VersionResource, NumbersAreTheProjectVersion)
{
    const VersionInfo info = read_own_version();
    ASSERT_FALSE(info.data.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(ZENTRIK_VERSION_MINOR, ZENTRIK_VERSION_MAJOR);
    const DWORD low = MAKELONG(ZENTRIK_VERSION_TWEAK, ZENTRIK_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, IsFrenchInWindows1252)
{
    const VersionInfo info = read_own_version();
    ASSERT_FALSE(info.data.empty());
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x040C);
    EXPECT_EQ(translation[1], 1252);
}

TEST(VersionResource, StringsNameTheProduct)
{
    const VersionInfo info = read_own_version();
    ASSERT_FALSE(info.data.empty());
    const std::string version = version_text('.');
    const struct {
        const char* name;
        std::string value;
    } strings[] = {
        {"CompanyName", "Zentrik"},
        {"FileDescription", "Zentrik for Windows, planificateur de tâches"},
        {"FileVersion", version},
        {"InternalName", "ZentrikWin.exe"},
        {"OriginalFilename", "ZentrikWin.exe"},
        {"ProductName", "Zentrik for Windows"},
        {"ProductVersion", version},
    };
    for (const auto& s : strings)
        EXPECT_EQ(info.text(s.name), s.value) << s.name;
    EXPECT_EQ(version_text(','), ZENTRIK_VERSION_COMMAS) << "the About box's form";
}

}  // namespace
