// "Auto recording help": the rich-text help on the recording parameters,
// read from HlpARec.rtf beside the program, in a read-only field that fills
// the dialog. A missing file leaves the field empty.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

class CAutoRecHelpDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFileName = "HlpARec.rtf";

    // `rtfPath` empty: the file is looked for where the program's help is.
    explicit CAutoRecHelpDlg(const QString& rtfPath = {}, QWidget* parent = nullptr);
    QTextBrowser* text() const { return m_text; }

    // The help file in the program's help folders, or empty.
    static QString findHelpFile();
    // The text of a rich-text (RTF) document as HTML: paragraphs, line
    // breaks, tabs, bold, italic, underline and 8-bit or Unicode characters;
    // tables of fonts, colours, styles and other hidden groups are skipped.
    static QString rtfToHtml(const QByteArray& rtf);

private:
    QTextBrowser* m_text;
};
