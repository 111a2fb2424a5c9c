// The MDI child frame of one analysis view: caption with the document's title,
// sizing border, minimise and maximise boxes; created visible and maximised.
// Closing the last frame of a modified document asks whether to save it.
#pragma once

#include <QMdiSubWindow>

class CVesAnaView;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(CVesAnaView* view, QWidget* parent = nullptr);
    CVesAnaView* view() const { return m_view; }
    // The frame that holds `view`, if any.
    static CChildFrame* of(const CVesAnaView* view);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CVesAnaView* m_view;
};
