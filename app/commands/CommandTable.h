// The program's commands as data: one table of {number, menu text, keys,
// status text}, and the layout of the main menu and of the view's cursor menu
// as lists of command numbers. The main frame builds its menus, toolbar,
// context menu and shortcuts from these; what a command does and whether it
// is enabled is answered by the command targets (CommandRouter.h).
//
// Menu texts are the program's own, with "&" before the mnemonic letter and,
// after a tab, the keys as the menu shows them. Keys are given in the
// portable text form ("Ctrl+Shift+S"); a command may have several, or only
// keys and no menu entry (scrolling with Ctrl+Left, for instance).
//
// This file needs no Qt.
#pragma once


#include <string_view>
#include <vector>

namespace cmd {
// File
constexpr int FileNew = 57600;
constexpr int FileOpen = 57601;
constexpr int FileClose = 57602;
constexpr int FileSave = 57603;
constexpr int FileSaveAs = 57604;
constexpr int FilePrintSetup = 57606;
constexpr int FilePrint = 57607;
constexpr int FilePrintDirect = 57608;
constexpr int FilePrintPreview = 57609;
constexpr int FileMruFirst = 57616;  // seven entries: 57616 .. 57622
constexpr int FileMruLast = 57622;
constexpr int FileImport = 33101;
constexpr int OpenAtStartUp = 33102;      // posted at start-up: open dialog, else New
constexpr int CloseOpenNextKey = 33103;   // the key N
constexpr int CloseOpenNext = 33104;      // the menu item
constexpr int CloseOpenPreviousKey = 34003;  // the key B
constexpr int CloseOpenPrevious = 34004;
constexpr int FileProperties = 33092;
constexpr int ExportMarks = 35101;
constexpr int ImportMarks = 35102;
constexpr int SaveSelectedInterval = 33067;
constexpr int ExportGraphics = 33108;
constexpr int DetectorFileManagement = 33132;
constexpr int OpenProject = 33133;
constexpr int AppExit = 57665;
// Edit
constexpr int EditClear = 32788;
constexpr int EditCut = 57635;
constexpr int EditCopy = 57634;
constexpr int EditCopyAscii = 33077;
constexpr int EditPaste = 57637;
constexpr int EditDelete = 32787;
constexpr int EditReverse = 32789;
constexpr int EditVolume = 32786;
constexpr int EditFilter = 32790;
constexpr int EditUndo = 57643;
constexpr int SelectAll = 32791;
// View: display
constexpr int ViewToolbar = 59392;
constexpr int ViewStatusBar = 59393;
constexpr int ZoomIn = 32792;
constexpr int ZoomOut = 32794;
constexpr int ZoomDefault = 32793;
constexpr int ZoomEntireFile = 32842;
constexpr int ZoomFullRange = 32960;
constexpr int ScrollLineLeft = 32816;
constexpr int ScrollLineRight = 32817;
constexpr int MoveToBeginning = 32770;
constexpr int MoveToEnd = 32771;
// Cursors and marks
constexpr int CursorMarking = 32814;
constexpr int CursorMarkingStereo = 33068;
constexpr int CursorMeasurement = 32815;
constexpr int CursorLargeMeasurement = 32831;
constexpr int CursorLevel = 32830;
constexpr int CursorUp = 32818;
constexpr int CursorDown = 32819;
constexpr int CursorLeft = 32820;
constexpr int CursorRight = 32821;
constexpr int CursorStepLeft = 33120;
constexpr int CursorStepRight = 33121;
constexpr int SaveCursorAsMark = 33063;
constexpr int SaveCursor = 32858;
constexpr int ActiveMarkProperties = 33060;
constexpr int MoveActiveMark = 33066;
constexpr int MarkDistances = 33065;
constexpr int ClearAllMarks = 33082;
// The cursor menu's mark lists: + mark number, 100 entries each.
constexpr int SetActiveMarkFirst = 32859;
constexpr int SetActiveMarkLast = 32958;
constexpr int ScrollToMarkFirst = 32959;
constexpr int ScrollToMarkLast = 33058;
// Analysis
constexpr int PowerSpectrum = 32796;
constexpr int PowerSettingsDefault = 32800;
constexpr int PulseInterval = 32797;
constexpr int PulseLength = 32828;
constexpr int RateSettingsDefault = 33131;
constexpr int PulseCharacteristics = 33081;
constexpr int FindCalls = 33210;
constexpr int IdentifyCalls = 33211;
constexpr int SpectSettingsDefault = 32803;
constexpr int SpectSettingsCurrent = 33078;
constexpr int OscSettingsDefault = 32841;
constexpr int OscSettingsCurrent = 33079;
constexpr int FreqSettingsDefault = 33075;
constexpr int FreqSettingsCurrent = 33080;
// Sound
constexpr int PlaySound = 33140;
constexpr int PausePlay = 33141;
constexpr int StopPlay = 33142;
constexpr int PlaySpeedFirst = 33143;  // 1/20, 1/10, 1/4, 1/2, 1, 2, 4, Other
constexpr int PlaySpeedOther = 33150;
constexpr int RecordSound = 33151;
constexpr int AutomaticRecording = 33152;
constexpr int VirtualDetector = 33153;
constexpr int HighSpeedPlayback = 33154;
constexpr int SoundDevices = 33155;
constexpr int SoundFormat = 33156;
// Window: new views of the active document, arrangement
constexpr int NewCombinedView = 32780;
constexpr int NewSpectrogramView = 32775;
constexpr int NewOscillogramView = 33130;
constexpr int NewZeroCrossingView = 33076;
constexpr int WindowArrange = 57649;
constexpr int WindowCascade = 57650;
constexpr int WindowTile = 57651;
// Help
constexpr int HelpLocal = 57670;
constexpr int HelpWeb = 33112;
constexpr int HomePage = 33111;
constexpr int AppAbout = 57664;
}  // namespace cmd

struct CommandInfo {
    int id = 0;
    std::string_view menuText;    // empty: keys only
    std::string_view keys;        // "Ctrl+Up", several separated by ", "; empty: none
    std::string_view statusText;  // shown while the mouse is on the item, or while the command runs
    bool checkable = false;
};

// Every command, in menu order.
const std::vector<CommandInfo>& commandTable();
// nullptr for an unknown number.
const CommandInfo* findCommand(int id);

// One entry of a menu: a command, a separator, a pop-up with its own entries,
// or a place the frame fills at run time (the recent files, the mark lists,
// the list of windows). `text` overrides the command's menu text (the cursor
// menu names its items differently from the main menu).
struct MenuEntry {
    enum class Kind { Command, Separator, Popup, RecentFiles, SetActiveMarkList, ScrollToMarkList, WindowList };
    Kind kind = Kind::Command;
    int id = 0;
    std::string_view text;
    std::vector<MenuEntry> entries;
};

// The menu bar: File, Edit, View, Analysis, Tools, Sound, Window, Help.
const std::vector<MenuEntry>& mainMenu();
// The view's context menu ("Cursor meue").
const MenuEntry& cursorMenu();
// The commands on the toolbar (0 = separator).
const std::vector<int>& toolbarCommands();

// Every command number that a menu of `entries` reaches (pop-ups included).
std::vector<int> commandsInMenu(const std::vector<MenuEntry>& entries);
