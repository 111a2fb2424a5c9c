#include "soundio/NidaqPlayStatus.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

NidaqPlayStatus::NidaqPlayStatus(NidaqPlayWorker& worker, QWidget* parent) : QDialog(parent), m_worker(worker)
{
    setWindowTitle(QStringLiteral("High-speed playback status"));
    setObjectName(QStringLiteral("NidaqPlayStatus"));
    setAccessibleName(QStringLiteral("High-speed playback status"));
    m_state = new QLabel(this);
    m_state->setAccessibleName(QStringLiteral("State"));
    m_state->setMinimumWidth(260);
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setAccessibleName(QStringLiteral("Stop"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_log = new QPlainTextEdit(this);
    m_log->setReadOnly(true);
    m_log->setAccessibleName(QStringLiteral("Log"));
    m_line = new QLabel(this);
    m_line->setAccessibleName(QStringLiteral("Text line"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_state, 1);
    top->addWidget(m_stop);
    top->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_log, 1);
    layout->addWidget(m_line);
    resize(520, 300);

    connect(m_stop, &QPushButton::clicked, this, [this] { stop(); });
    connect(m_close, &QPushButton::clicked, this, [this] { reject(); });
}

void NidaqPlayStatus::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    setState(QStringLiteral("Initiating  "), Qt::black, false);
    m_stop->setEnabled(m_worker.running());
}

void NidaqPlayStatus::reject()
{
    m_stop->setEnabled(false);
    m_worker.end();
    QDialog::reject();
}

void NidaqPlayStatus::stop()
{
    m_stop->setEnabled(false);
    setState(QStringLiteral("Stopping  "), Qt::black, false);
    m_worker.end();
}

void NidaqPlayStatus::setState(const QString& text, QColor colour, bool bold)
{
    m_state->setText(text);
    m_state->setStyleSheet(QStringLiteral("color: %1; font-weight: %2").arg(colour.name(), bold ? "bold" : "normal"));
}

void NidaqPlayStatus::addLog(const QString& text)
{
    if (!m_logText.isEmpty())
        m_logText += QStringLiteral("\r\n");
    m_logText += text;
    m_log->appendPlainText(text);
    m_line->setText(text);
}

void NidaqPlayStatus::hspMessage(HspMessage message, HspState code, const QString& text)
{
    if (message == HspMessage::Ended) {
        stop();
        code = HspState::Ended;
    } else if (message != HspMessage::State) {
        return;
    }
    switch (code) {
    case HspState::Playing:
        setState(QStringLiteral("PLAYING"), QColor(32, 32, 128), true);
        addLog(text);
        break;
    case HspState::Ended:
        setState(QStringLiteral("Ended"), Qt::black, false);
        break;
    case HspState::Error:
        setState(QStringLiteral("ERROR - PLAY ABORTED"), QColor(128, 32, 32), true);
        addLog(text);
        break;
    case HspState::Log:
        addLog(text);
        break;
    }
}
