// "File properties": a read-only text of the recording's size, times, rates,
// format, recording information, detector header lines and file dates, and
// the common GUANO metadata fields (species, note, location, make and model)
// for the user to fill in or correct. OK writes changed fields into the
// document's GUANO record (adding one when the recording has none); the
// record goes out with the next save. The note is several lines: its line
// breaks are GUANO's "\n" escapes.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class CVesSoundDoc;
class QTextEdit;
class QWidget;

class CFilePropDlg : public QDialog {
    Q_OBJECT
public:
    CFilePropDlg(CVesSoundDoc& doc, QWidget* parent = nullptr);
    QTextEdit* textField() const { return m_text; }
    // The field of a GUANO key (GuanoRecord::editableKeys()), or null; its
    // text as the user sees it, and setting that text.
    QWidget* metadataField(const std::string& key) const;
    QString metadataText(const std::string& key) const;
    void setMetadataText(const std::string& key, const QString& text);

    // Writes the edited fields into the document; true when one changed.
    bool applyMetadata();

    void accept() override;

private:
    CVesSoundDoc& m_doc;
    QTextEdit* m_text;
    std::vector<QWidget*> m_fields;  // one per editable key, in its order
    bool m_metadataReadable = true;    // false: a damaged chunk that editing would replace
};
