// One run of the recording engine as the dialogs see it: owns the engine,
// receives its reports on the worker threads and hands each to the
// user-interface thread with a queued call, where it becomes a signal, a
// change of the document (length, marks, recording metadata) or a throttled
// update of the document's views. Nothing of the document is touched on a
// worker thread.
#pragma once

#include "autorec/AutoRecEngine.h"
#include "autorec/AutoRecTypes.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

class CVesSoundDoc;

class AutoRecRun : public QObject, public autorec::IAutoRecHost {
    Q_OBJECT
public:
    // Display updates older than this are skipped, and full redraws come at
    // most this often; every sixth skipped one still passes the new length.
    static constexpr std::int64_t kStaleMs = 50;
    static constexpr std::int64_t kRedrawSpacingMs = 5;
    static constexpr int kLightEvery = 6;

    explicit AutoRecRun(CVesSoundDoc& doc, QObject* parent = nullptr);
    ~AutoRecRun() override;  // ends the run and joins its threads

    // Starts the engine; false with the user's message in `error`. The files
    // of the run end up in the document's file type.
    bool start(const autorec::AutoRecConfig& config, std::string& error);
    autorec::AutoRecEngine& engine() { return m_engine; }
    autorec::AutoRecStatus status() const { return m_engine.status(); }
    const autorec::AutoRecConfig& config() const { return m_config; }
    CVesSoundDoc& doc() { return m_doc; }

    // Ends the run and waits for its threads (at most `timeoutMs`); the
    // reports still queued are delivered first. Safe to call twice.
    void finish(int timeoutMs = 30000);

    // The document's length from what the store holds, every view told
    // (while the engine does not write: paused or ended).
    void syncLength();

    // Full redraws and light updates the views got (for the status display).
    std::int64_t redraws() const { return m_redraws; }
    std::int64_t lightUpdates() const { return m_light; }

signals:
    void stateReport(int code);
    void logLine(const QString& text);
    void titleChanged(const QString& title);
    void graphicsChanged(bool on);
    void sequenceNumber(qint64 next);
    void fileWritten(const QString& path, qint64 frames, qint64 number);
    void errorReport(const QString& text, bool endsRun);
    void runEnded();
    // The store was emptied (Clear file, or a file of its own finished).
    void storeReset();

private:
    // IAutoRecHost, on worker threads: each queues its user-interface half.
    void recState(autorec::StateCode code) override;
    void recLog(const std::string& text) override;
    void recTitle(const std::string& title) override;
    void recDisplay(const autorec::DisplayUpdate& update) override;
    void recGraphics(bool on) override;
    void recAddMark(std::int64_t frame, const std::string& name, const std::string& comment, int channels) override;
    void recStarted(const std::string& device, const std::string& localTime) override;
    void recFileWritten(const std::string& path, std::int64_t frames, std::int64_t number) override;
    void recError(const std::string& text, bool endsRun) override;
    void addGuanoOfNewRecording(const std::string& device);
    // A file the engine wrote (a wave file) in the document's file type when
    // that is another: the path of the file that stays.
    std::string inDocumentType(const std::string& path);
    void recEnded() override;

    void onDisplay(const autorec::DisplayUpdate& update);

    CVesSoundDoc& m_doc;
    autorec::AutoRecEngine m_engine;
    autorec::AutoRecConfig m_config;
    bool m_started = false;
    bool m_startedEmpty = false;  // the document held no sound when the run began
    int m_fileType = 0;           // the document's file type when the run began
    bool m_finished = false;
    std::int64_t m_lastRedrawMs = -1000;
    int m_skipped = 0;
    std::int64_t m_redraws = 0, m_light = 0;
};
