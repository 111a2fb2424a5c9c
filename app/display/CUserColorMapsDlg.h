// "User defined color mappings": the list of the user's colour maps with
// Change, New and Delete; and "Spectrogram Color mapping", the editor of one
// map with 12 rows of its 64 bands at a time.
#pragma once

#include "display/CAnaSpectDiag.h"
#include "display/ColorMapEditing.h"
#include "display/ColorPalettes.h"
#include "records/VesColorMap.h"

#include <QDialog>

#include <array>
#include <functional>

class CColorButton;
class CNumEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;

class CColorMapEditDlg : public QDialog {
    Q_OBJECT
public:
    enum Result { Cancelled = 0, Saved = 1, SavedAsNew = 2 };

    explicit CColorMapEditDlg(const VesColorMap& map, QWidget* parent = nullptr);

    // After Save or Save As New: the rows stored into the map it was opened on.
    VesColorMap storedMap() const;
    int top() const { return m_top; }
    // Scrolls to `position` (0 .. 52) when the visible rows pass their check;
    // the edits of the visible rows are kept in the working copy.
    bool scrollTo(int position);
    bool save(Result how);

    // The widgets of visible row `r` (0 .. 11).
    struct Row {
        QLabel* number;
        CNumEdit* from;
        CNumEdit* to;
        CNumEdit* step;
        CNumEdit* count;
        CColorButton* colFrom;
        CColorButton* colTo;
    };
    const Row& row(int r) const { return m_rows[static_cast<std::size_t>(r)]; }
    QLineEdit* nameEdit() const { return m_name; }
    QPushButton* saveAsNewButton() const { return m_saveAsNew; }
    // The colour chooser; a test may replace it.
    static void setColorChooser(std::function<QColor(const QColor& initial, QWidget* parent)> chooser);

private:
    void fillRows();
    // Reads the visible rows into the working copy; false (with the message,
    // the focus in the field) when one does not pass.
    bool takeVisibleRows();
    void leftField(int r, BandField field);

    VesColorMap m_map;
    std::array<VesColorMapRad, VesColorMap::kBands> m_work;
    std::array<Row, kColorMapVisibleRows> m_rows;
    QLineEdit* m_name;
    QLabel* m_lastUpdate;
    QScrollBar* m_scroll;
    QPushButton* m_saveAsNew;
    int m_top = 0;
    bool m_scrolling = false;
};

class CUserColorMapsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CUserColorMapsDlg(IColorMapStore& maps, QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* deleteButton() const { return m_delete; }
    void change();
    void newMap();
    void deleteMap();

private:
    void updateButtons();
    IColorMapStore& m_maps;
    QListWidget* m_list;
    QPushButton* m_change;
    QPushButton* m_delete;
};
