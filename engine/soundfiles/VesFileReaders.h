// The readers that fill a sound document from a file of each type: RIFF
// based recordings (plain waves, own recording files and file pairs,
// compressed waves, detector recordings), headerless sample files, and
// compressed audio decoded with FFmpeg.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CVesSoundDoc;

class IVesFile {
public:
    virtual ~IVesFile() = default;
    // Fills the document; false on failure (errorText() says why, unless empty).
    virtual bool open() = 0;
    virtual const std::string& path() const = 0;
    virtual void setPath(const std::string& path) = 0;
    virtual int fileType() const = 0;
    virtual void setFileType(int type) = 0;
    virtual CVesSoundDoc* document() const = 0;
    virtual void setDocument(CVesSoundDoc* doc) = 0;
    virtual const std::string& errorText() const = 0;
    // Sets the error text and writes it to the log.
    virtual void setErrorText(const std::string& text) = 0;
    // Reports progress; false when the user cancelled.
    virtual bool reportProgress(std::int64_t done, std::int64_t total) = 0;
    virtual bool cancelled() const = 0;
};

class CVesFile : public IVesFile {
public:
    CVesFile(std::string path, int type, CVesSoundDoc* doc) : m_path(std::move(path)), m_type(type), m_doc(doc) {}
    const std::string& path() const override { return m_path; }
    void setPath(const std::string& path) override { m_path = path; }
    int fileType() const override { return m_type; }
    void setFileType(int type) override { m_type = type; }
    CVesSoundDoc* document() const override { return m_doc; }
    void setDocument(CVesSoundDoc* doc) override { m_doc = doc; }
    const std::string& errorText() const override { return m_error; }
    void setErrorText(const std::string& text) override;
    bool reportProgress(std::int64_t done, std::int64_t total) override;
    bool cancelled() const override { return m_cancelled; }

protected:
    std::string m_path;
    int m_type;
    CVesSoundDoc* m_doc;
    std::string m_error;
    bool m_cancelled = false;
};

// Types 1, 5, 7, 8, 9 and 10.
class CVesWaveFile : public CVesFile {
public:
    using CVesFile::CVesFile;
    bool open() override;

private:
    bool readOwnForms(class WaveFile& wave, bool& fixedRecordRead);
    void readSegmentTable(WaveFile& wave);
    bool readDetectorHeader(WaveFile& samples, std::int64_t& dataOffset);
    bool copySamples(WaveFile& samples, std::int64_t dataOffset);
};

// Types 2, 3 and 4 (and any type no other reader takes, which fails).
class CVesDataFile : public CVesFile {
public:
    using CVesFile::CVesFile;
    bool open() override;
};

// Type 11: anything FFmpeg decodes.
class CVesCodecFile : public CVesFile {
public:
    using CVesFile::CVesFile;
    bool open() override;
};

// The reader for a path that may carry a type tag: the type comes from the
// tag, else from the extension; a plain wave is checked against its content.
std::unique_ptr<IVesFile> makeReader(const std::string& path, CVesSoundDoc* doc);

// The information lines of a detector header ("Record time (utc):...",
// "Latitude : ...", ...), one per field that holds text.
std::vector<std::string> detectorHeaderLines(const std::uint8_t* header);

// "R9000Z Record time (utc):... Latitude : ..." from a detector header of 244 bytes.
// `anyField` tells whether any text field was present.
std::string describeDetectorHeader(const std::uint8_t* header, bool& anyField);
