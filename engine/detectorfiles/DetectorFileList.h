// The list of detector recordings of a folder, its text table (the column
// headings and one row per listed file) and the text and files made of it:
// Export ("txt" tab-separated, "cvs"/"csv" comma-separated, CR LF after each
// row) and Copy (tab-separated, LF after each row).
#pragma once

#include "detectorfiles/DetectorFileInfo.h"

#include <array>
#include <string>
#include <vector>

class DetectorFileList {
public:
    static constexpr int kColumnCount = 7;
    struct Column {
        const char* heading;
        int width;  // initial width in dialog pixels
    };
    static const std::array<Column, kColumnCount> kColumns;

    using Row = std::vector<std::string>;
    using Table = std::vector<Row>;

    // Examines every file of `folder` (sub-folders are left out, names of any
    // form are taken). False with error() when the folder cannot be read.
    bool load(const std::string& folder);

    const std::string& folder() const { return m_folder; }
    // The detector recordings, in ascending order of their file names.
    const std::vector<DetectorFileInfo>& files() const { return m_files; }
    // The files that are not detector recordings, each with its reason.
    const std::vector<DetectorFileInfo>& skipped() const { return m_skipped; }
    const std::string& error() const { return m_error; }

    // The seven column texts of a listed file.
    static Row rowTexts(const DetectorFileInfo& info);
    // The headings, then the rows of `selected` (indices into files(), taken
    // in list order) or of every file when `selected` is empty.
    Table textTable(const std::vector<int>& selected = {}) const;

    // Rows joined by `separator`, each ending with `lineEnd`. A text that holds
    // the separator, a quote or a line break is put in quotes (quotes doubled).
    static std::string tableText(const Table& table, char separator, const char* lineEnd);

    // The field separator for an export file name: its extension (after the
    // last period, case-sensitive) "txt" a tab, "cvs" or "csv" a comma; 0 for
    // any other, with `message` "Unknown file type " + extension.
    static char exportSeparator(const std::string& path, std::string& message);
    // Writes the table to `path` (replaced only when every byte is written).
    // False with `message` when nothing was written.
    static bool exportTable(const std::string& path, const Table& table, std::string& message);

private:
    std::string m_folder;
    std::vector<DetectorFileInfo> m_files;
    std::vector<DetectorFileInfo> m_skipped;
    std::string m_error;
};
