#include "commands/CommandTable.h"

#include <algorithm>
#include <unordered_map>

namespace {

using K = MenuEntry::Kind;

MenuEntry item(int id, std::string_view text = {})
{
    return {K::Command, id, text, {}};
}

MenuEntry separator()
{
    return {K::Separator, 0, {}, {}};
}

MenuEntry popup(std::string_view text, std::vector<MenuEntry> entries)
{
    return {K::Popup, 0, text, std::move(entries)};
}

MenuEntry place(K kind, std::string_view text = {})
{
    return {kind, 0, text, {}};
}

}  // namespace

const std::vector<CommandInfo>& commandTable()
{
    // Commands that have no number of their own elsewhere take numbers from
    // 33130 on (views, sound, detector files, rate defaults).
    static const std::vector<CommandInfo> table = {
        // ---- File ----
        {cmd::FileNew, "&New\tCtrl+N", "Ctrl+N", "Create a new, empty recording"},
        {cmd::FileOpen, "&Open...\tCtrl+O", "Ctrl+O", "Open recordings"},
        {cmd::FileImport, "Import...", "", "Import compressed audio files"},
        {cmd::OpenAtStartUp, "", "", "Open recordings"},
        {cmd::FileClose, "&Close", "", "Close the active recording"},
        {cmd::CloseOpenNext, "Close && Open Next\tN", "", "Open the next file of the folder and close this one"},
        {cmd::CloseOpenNextKey, "", "N", "Open the next file of the folder and close this one"},
        {cmd::CloseOpenPrevious, "Close && Open Previous\tB", "", "Open the previous file of the folder and close this one"},
        {cmd::CloseOpenPreviousKey, "", "B", "Open the previous file of the folder and close this one"},
        {cmd::FileSave, "&Save\tCtrl+S", "Ctrl+S", "Save the active recording"},
        {cmd::FileSaveAs, "Save &As...", "", "Save the active recording under a new name or type"},
        {cmd::SaveSelectedInterval, "Save selected interval...", "", "Save the selection (or the whole recording) as a new file"},
        {cmd::FileProperties, "File Properties", "", "Show the properties of the recording"},
        {cmd::ExportMarks, "Export Marks...", "", "Save the marks as a selection table or a label track"},
        {cmd::ImportMarks, "Import Marks...", "", "Add marks from a selection table or a label track"},
        {cmd::ExportGraphics, "Export Graphics...", "", "Save the plot as a picture"},
        {cmd::FilePrint, "&Print...\tCtrl+P", "Ctrl+P", "Print the plot"},
        {cmd::FilePrintDirect, "Print D&irect", "", "Print the plot on the default printer"},
        {cmd::FilePrintPreview, "Print Pre&view", "", "Show the printed page"},
        {cmd::FilePrintSetup, "P&rint Setup...", "", "Choose the printer and its options"},
        {cmd::DetectorFileManagement, "R450Z/R9000Z File Management...", "", "List and copy the detector recordings of a folder"},
        {cmd::OpenProject, "Open Pro&ject...", "", "Open a season's project: its recordings, and review of their passes"},
        {cmd::FileMruFirst + 0, "Recent File", "", "Open this recording"},
        {cmd::FileMruFirst + 1, "", "", "Open this recording"},
        {cmd::FileMruFirst + 2, "", "", "Open this recording"},
        {cmd::FileMruFirst + 3, "", "", "Open this recording"},
        {cmd::FileMruFirst + 4, "", "", "Open this recording"},
        {cmd::FileMruFirst + 5, "", "", "Open this recording"},
        {cmd::FileMruFirst + 6, "", "", "Open this recording"},
        {cmd::AppExit, "E&xit", "", "Quit the program"},

        // ---- Edit ----
        {cmd::EditUndo, "&Undo\tCtrl+Z", "Ctrl+Z", "Undo"},
        {cmd::EditCut, "Cu&t\tCtrl+X", "Ctrl+X", "Edit Cut"},
        {cmd::EditCopy, "&Copy\tCtrl+C", "Ctrl+C", "Edit Copy"},
        {cmd::EditCopyAscii, "Copy Ascii ", "", "Copy Ascii"},
        {cmd::EditPaste, "&Paste\tCtrl+V", "Ctrl+V", "Edit Paste"},
        {cmd::EditClear, "Clear/&silence", "", "Edit Clear"},
        {cmd::EditDelete, "&Delete", "", "Edit Delete"},
        {cmd::EditReverse, "&Reverse", "", "Edit Reverse"},
        {cmd::EditVolume, "Adjust &volume", "", "Edit Volume"},
        {cmd::EditFilter, "&Filter", "", "Edit Filter"},
        {cmd::SelectAll, "Select &All", "", "Select the whole recording"},

        // ---- View ----
        {cmd::ViewToolbar, "&Toolbar", "", "Show or hide the toolbar", true},
        {cmd::ViewStatusBar, "&Status Bar", "", "Show or hide the status bar", true},
        {cmd::ZoomIn, "&Zoom In\tCtrl+Up arrow", "Ctrl+Up", "Show the selection, or a shorter time"},
        {cmd::ZoomOut, "Zoom &Out\tCtrl+Down arrow", "Ctrl+Down", "Go back to the previous zoom, or show a longer time"},
        {cmd::ZoomDefault, "&Default Zoom \tCtrl+Shift+Left arrow", "Ctrl+Shift+Left", "Show the zoom the view started with"},
        {cmd::ZoomEntireFile, "Zoom &Entire file\tCtrl+Shift+Down arrow", "Ctrl+Shift+Down", "Show the whole recording"},
        {cmd::ZoomFullRange, "Zoom full range frequency/amplitude", "", "Show all frequencies and the full amplitude range"},
        {cmd::ScrollLineLeft, "", "Ctrl+Left", "Scroll one time step left"},
        {cmd::ScrollLineRight, "", "Ctrl+Right", "Scroll one time step right"},
        {cmd::MoveToBeginning, "Move to &beginning of file", "", "Scroll to the beginning of the recording"},
        {cmd::MoveToEnd, "Move to &end of file", "", "Scroll to the end of the recording"},

        // ---- Analysis ----
        {cmd::PowerSpectrum, "&Power Spectrum\tCtrl+Shift+P", "Ctrl+Shift+P", "Open a power spectrum of the selection"},
        {cmd::PowerSettingsDefault, "Power Spectr&um Settings - Default", "", "Default settings of new power spectra"},
        {cmd::PulseInterval, "Pulse &Interval Analysis", "", "Histogram of the intervals between pulses"},
        {cmd::PulseLength, "Pulse &Length Analysis", "", "Histogram of the pulse lengths"},
        {cmd::RateSettingsDefault, "Pulse Interval/Pulse Length &Analysis Settings - Default", "",
         "Default settings of new pulse interval and pulse length windows"},
        {cmd::PulseCharacteristics, "Pulse &Characteristics Analysis", "", "Measure the pulses of the selection"},
        {cmd::FindCalls, "&Find calls", "", "Find and measure the bat calls of the selection, else of the view"},
        {cmd::IdentifyCalls, "&Identify calls...", "",
         "Label the calls found with a species model you trained (a model is only as good as the calls it was "
         "trained on)"},
        {cmd::SpectSettingsDefault, "Spec&trogram Settings - Default", "", "Default spectrogram settings of new views"},
        {cmd::SpectSettingsCurrent, "Spec&trogram Settings - current diagram", "", "Spectrogram settings of this view"},
        {cmd::OscSettingsDefault, "Oscillo&gram Settings - Default", "", "Default oscillogram settings of new views"},
        {cmd::OscSettingsCurrent, "Oscillo&gram Settings - current diagram", "", "Oscillogram settings of this view"},
        {cmd::FreqSettingsDefault, "Zero Crossing Analysis Settings - Default", "",
         "Default zero-crossing settings of new views"},
        {cmd::FreqSettingsCurrent, "Zero Crossing Analysis Settings - current diagram", "",
         "Zero-crossing settings of this view"},

        // ---- Tools: cursors and marks ----
        {cmd::CursorMarking, "M&arking cursor \tCtrl+A", "Ctrl+A", "A click sets a time position", true},
        {cmd::CursorMarkingStereo, "Marking cursor - stereo", "", "A click sets a time position on both channels", true},
        {cmd::CursorMeasurement, "Meas&urement cursor \tCtrl+Shift+A", "Ctrl+Shift+A", "A click measures a point", true},
        {cmd::CursorLargeMeasurement, "&Large measurement cursor", "", "A click measures a point with lines across the pane", true},
        {cmd::CursorLevel, "Level cursor", "", "A click sets an amplitude level", true},
        {cmd::CursorUp, "", "Up", "Move the cursor up"},
        {cmd::CursorDown, "", "Down", "Move the cursor down"},
        {cmd::CursorLeft, "", "Left", "Move the cursor left"},
        {cmd::CursorRight, "", "Right", "Move the cursor right"},
        {cmd::CursorStepLeft, "", "Shift+Left", "Move the cursor left and extend the selection"},
        {cmd::CursorStepRight, "", "Shift+Right", "Move the cursor right and extend the selection"},
        {cmd::SaveCursorAsMark, "Save cursor as mark", "", "Add a mark at the cursor"},
        {cmd::SaveCursor, "Save cursor", "", "Add a mark at the cursor"},
        {cmd::ActiveMarkProperties, "Active mark properties", "", "Edit the active mark"},
        {cmd::MoveActiveMark, "Move active mark ", "", "Move the active mark with the arrow keys", true},
        {cmd::MarkDistances, "Mark distances", "", "Times and frequencies between the marks"},
        {cmd::ClearAllMarks, "Clear all marks", "", "Remove every mark of the recording"},

        // ---- Sound ----
        {cmd::PlaySound, "&Play sound", "P", "Play the recording"},
        {cmd::PausePlay, "Pause Play sound", "", "Pause playing"},
        {cmd::StopPlay, "&Stop Play sound", "S, Esc", "Stop playing"},
        {cmd::PlaySpeedFirst + 0, "1/20", "", "Play at 1/20 of the speed", true},
        {cmd::PlaySpeedFirst + 1, "1/10", "", "Play at 1/10 of the speed", true},
        {cmd::PlaySpeedFirst + 2, "1/4", "", "Play at 1/4 of the speed", true},
        {cmd::PlaySpeedFirst + 3, "1/2", "", "Play at half the speed", true},
        {cmd::PlaySpeedFirst + 4, "1", "", "Play at the recording's speed", true},
        {cmd::PlaySpeedFirst + 5, "2", "", "Play at twice the speed", true},
        {cmd::PlaySpeedFirst + 6, "4", "", "Play at four times the speed", true},
        {cmd::PlaySpeedOther, "Other", "", "Choose another play speed", true},
        {cmd::RecordSound, "&Record sound", "R", "Record sound into the recording"},
        {cmd::AutomaticRecording, "Automatic recording", "", "Record triggered calls automatically"},
        {cmd::VirtualDetector, "&Virtual Bat detector", "", "Listen through a simulated heterodyne detector", true},
        {cmd::HighSpeedPlayback, "High-speed playback", "", "Play lists of recordings through a data-acquisition card"},
        {cmd::SoundDevices, "Sound &devices", "", "Choose the sound input and output devices"},
        {cmd::SoundFormat, "Sound &Format", "", "Sound format and recording information of the recording"},

        // ---- Window ----
        {cmd::NewCombinedView, "&Combined", "", "A new view with oscillogram and spectrogram"},
        {cmd::NewSpectrogramView, "&Spectrogram\tCtrl+Shift+S", "Ctrl+Shift+S", "A new spectrogram view"},
        {cmd::NewOscillogramView, "&Oscillogram\tCtrl+Shift+O", "Ctrl+Shift+O", "A new oscillogram view"},
        {cmd::NewZeroCrossingView, "Zero Crossing Analysis", "", "A new zero-crossing analysis view"},
        {cmd::WindowCascade, "&Cascade", "", "Arrange the windows overlapping"},
        {cmd::WindowTile, "&Tile", "", "Arrange the windows side by side"},
        {cmd::WindowArrange, "&Arrange Icons", "", "Arrange the minimised windows"},

        // ---- Help ----
        {cmd::HelpLocal, "Help", "", "Open the user guide"},
        {cmd::HelpWeb, "Help on the Web", "", "Open the help page on the web"},
        {cmd::HomePage, "Vallomer Home Page", "", "Open the maker's web site"},
        {cmd::AppAbout, "&About Vesperon...", "", "Program version, memory and disk space"},
    };
    return table;
}

const CommandInfo* findCommand(int id)
{
    static const std::unordered_map<int, const CommandInfo*> index = [] {
        std::unordered_map<int, const CommandInfo*> m;
        for (const CommandInfo& c : commandTable())
            m.emplace(c.id, &c);
        return m;
    }();
    const auto it = index.find(id);
    return it == index.end() ? nullptr : it->second;
}

const std::vector<MenuEntry>& mainMenu()
{
    static const std::vector<MenuEntry> menu = {
        popup("&File", {item(cmd::FileNew), item(cmd::FileOpen), item(cmd::OpenProject), item(cmd::FileImport), item(cmd::FileClose),
                        item(cmd::CloseOpenNext), item(cmd::CloseOpenPrevious), separator(), item(cmd::FileSave),
                        item(cmd::FileSaveAs), item(cmd::SaveSelectedInterval), item(cmd::FileProperties), separator(),
                        item(cmd::ExportMarks), item(cmd::ImportMarks), separator(), item(cmd::ExportGraphics), item(cmd::FilePrint), item(cmd::FilePrintDirect),
                        item(cmd::FilePrintPreview), item(cmd::FilePrintSetup), separator(),
                        item(cmd::DetectorFileManagement), separator(), place(K::RecentFiles), separator(),
                        item(cmd::AppExit)}),
        popup("&Edit", {item(cmd::EditUndo), separator(), item(cmd::EditCut), item(cmd::EditCopy),
                        item(cmd::EditCopyAscii), item(cmd::EditPaste), separator(), item(cmd::EditClear),
                        item(cmd::EditDelete), item(cmd::EditReverse), item(cmd::EditVolume), item(cmd::EditFilter),
                        separator(), item(cmd::SelectAll)}),
        popup("&View", {item(cmd::ViewToolbar), item(cmd::ViewStatusBar), separator(), item(cmd::ZoomIn),
                        item(cmd::ZoomOut), item(cmd::ZoomDefault), item(cmd::ZoomEntireFile),
                        item(cmd::ZoomFullRange), separator(), item(cmd::MoveToBeginning), item(cmd::MoveToEnd)}),
        popup("&Analysis", {item(cmd::PowerSpectrum), item(cmd::PowerSettingsDefault), separator(),
                            item(cmd::PulseInterval), item(cmd::PulseLength), item(cmd::RateSettingsDefault),
                            separator(), item(cmd::PulseCharacteristics), item(cmd::FindCalls), item(cmd::IdentifyCalls),
                            separator(), item(cmd::SpectSettingsDefault),
                            item(cmd::OscSettingsDefault), item(cmd::FreqSettingsDefault), separator(),
                            item(cmd::SpectSettingsCurrent), item(cmd::OscSettingsCurrent),
                            item(cmd::FreqSettingsCurrent)}),
        popup("&Tools", {item(cmd::CursorMarking), item(cmd::CursorMarkingStereo), item(cmd::CursorMeasurement),
                         item(cmd::CursorLargeMeasurement), item(cmd::CursorLevel), separator(),
                         item(cmd::SaveCursorAsMark), place(K::SetActiveMarkList, "Set active mark"),
                         place(K::ScrollToMarkList, "Scroll to mark"), item(cmd::ActiveMarkProperties),
                         item(cmd::MoveActiveMark), item(cmd::MarkDistances), item(cmd::ClearAllMarks)}),
        popup("&Sound", {item(cmd::PlaySound), item(cmd::PausePlay), item(cmd::StopPlay),
                         popup("Play speed", {item(cmd::PlaySpeedFirst + 0), item(cmd::PlaySpeedFirst + 1),
                                              item(cmd::PlaySpeedFirst + 2), item(cmd::PlaySpeedFirst + 3),
                                              item(cmd::PlaySpeedFirst + 4), item(cmd::PlaySpeedFirst + 5),
                                              item(cmd::PlaySpeedFirst + 6), item(cmd::PlaySpeedOther)}),
                         separator(), item(cmd::RecordSound), item(cmd::AutomaticRecording),
                         item(cmd::VirtualDetector), item(cmd::HighSpeedPlayback), separator(),
                         item(cmd::SoundDevices), item(cmd::SoundFormat)}),
        popup("&Window", {item(cmd::NewCombinedView), item(cmd::NewSpectrogramView), item(cmd::NewOscillogramView),
                          item(cmd::NewZeroCrossingView), separator(), item(cmd::WindowCascade),
                          item(cmd::WindowTile), item(cmd::WindowArrange), separator(), place(K::WindowList)}),
        popup("&Help", {item(cmd::HelpLocal), item(cmd::HelpWeb), item(cmd::HomePage), separator(),
                        item(cmd::AppAbout)}),
    };
    return menu;
}

const MenuEntry& cursorMenu()
{
    static const MenuEntry menu = popup(
        "Cursor meue",
        {item(cmd::EditCut, "Cut"), item(cmd::EditCopy, "Copy"), item(cmd::EditCopyAscii, "Copy Ascii"),
         item(cmd::EditPaste, "Paste"), separator(), item(cmd::CursorMarking), item(cmd::CursorMarkingStereo),
         item(cmd::CursorMeasurement), item(cmd::CursorLargeMeasurement), item(cmd::CursorLevel), separator(),
         item(cmd::PowerSpectrum, "Power Spectrum"), item(cmd::SaveCursor), separator(),
         item(cmd::SpectSettingsCurrent), item(cmd::OscSettingsCurrent), item(cmd::FreqSettingsCurrent)});
    return menu;
}

const std::vector<int>& toolbarCommands()
{
    static const std::vector<int> bar = {cmd::FileNew,   cmd::FileOpen,         cmd::FileSave,    0,
                                         cmd::ZoomIn,    cmd::ZoomOut,          cmd::ZoomDefault, cmd::ZoomEntireFile,
                                         0,          cmd::NewCombinedView, cmd::NewSpectrogramView,
                                         cmd::NewOscillogramView, 0, cmd::FileProperties, cmd::HelpLocal};
    return bar;
}

std::vector<int> commandsInMenu(const std::vector<MenuEntry>& entries)
{
    std::vector<int> out;
    for (const MenuEntry& e : entries) {
        if (e.kind == K::Command)
            out.push_back(e.id);
        else if (e.kind == K::Popup) {
            const std::vector<int> sub = commandsInMenu(e.entries);
            out.insert(out.end(), sub.begin(), sub.end());
        } else if (e.kind == K::RecentFiles)
            for (int id = cmd::FileMruFirst; id <= cmd::FileMruLast; ++id)
                out.push_back(id);
    }
    return out;
}
