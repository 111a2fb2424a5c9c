// The sound file dialogs: the open dialog with its "Open as:" file-type
// choice (CSndFileDialog) and the save dialog whose filter chooses the file
// type (CSndSaveDialog). The tables behind them are in FileDialogTables.h.
#pragma once

#include <QFileDialog>

class QComboBox;

class CSndFileDialog : public QFileDialog {
    Q_OBJECT
public:
    CSndFileDialog(QWidget* parent, const QString& folder);
    // The type code of the "Open as:" entry (1 when none is chosen).
    int chosenType() const;
    QComboBox* openAsList() const { return m_openAs; }

    // The position of the last chosen "Open as:" entry, for the whole program.
    static int lastOpenAsIndex();

    void accept() override;

private:
    QComboBox* m_openAs = nullptr;
};

class CSndSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    // `initialPath` is proposed; the filter of `documentType` is preselected.
    CSndSaveDialog(QWidget* parent, const QString& initialPath, int documentType);
    // The type code of the selected filter.
    int chosenType() const { return m_type; }
    // Picks filter `index` (1-based) as the user would.
    void chooseFilter(int index);
    QString fileNameText() const;

private:
    void onFilterSelected(const QString& filter);

    QStringList m_filters;
    int m_type = 9;
};
