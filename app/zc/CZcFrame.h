// The MDI child frame of a zero-crossing window, and the dialog of its file's
// properties: the header texts, division ratio, time resolution, start time,
// ID, GPS text and GUANO fields.
#pragma once

#include <QDialog>
#include <QMdiSubWindow>

class CZcView;

class CZcFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CZcFrame(CZcView* view, QWidget* parent = nullptr);
    CZcView* view() const { return m_view; }
    // The zero-crossing view of a frame, nullptr when it holds none.
    static CZcView* viewOf(QMdiSubWindow* window);

private:
    CZcView* m_view;
};

// The rows of the properties (label, value), in the order shown.
std::vector<std::pair<QString, QString>> zcPropertyRows(const CZcView& view);

class CZcPropertiesDlg : public QDialog {
    Q_OBJECT
public:
    explicit CZcPropertiesDlg(const CZcView& view, QWidget* parent = nullptr);
};
