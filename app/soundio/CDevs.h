// "Sound devices": every input and output device the back end reports, and
// the one of each that records and plays.
#pragma once

#include <QDialog>

class QListWidget;

class CDevs : public QDialog {
    Q_OBJECT
public:
    explicit CDevs(QWidget* parent = nullptr);
    QListWidget* inputList() const { return m_in; }
    QListWidget* outputList() const { return m_out; }
    // Selects the devices checked in the lists.
    void apply() const;

private:
    QListWidget* m_in;
    QListWidget* m_out;
};

void runSoundDevices(QWidget* parent);
