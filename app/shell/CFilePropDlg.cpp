#include "shell/CFilePropDlg.h"

#include "document/CVesSoundDoc.h"
#include "document/FileProperties.h"
#include "records/GuanoRecord.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QString html(const std::string& s)
{
    return QString::fromStdString(s).toHtmlEscaped();
}

// The labels of the editable keys, as the dialog shows them.
QString metadataLabel(const std::string& key)
{
    if (key == "Species Manual ID")
        return QStringLiteral("&Species:");
    if (key == "Note")
        return QStringLiteral("&Note:");
    if (key == "Loc Position")
        return QStringLiteral("&Location (lat lon):");
    if (key == "Loc Elevation")
        return QStringLiteral("&Elevation (m):");
    if (key == "Make")
        return QStringLiteral("Ma&ke:");
    if (key == "Model")
        return QStringLiteral("&Model:");
    return QString::fromStdString(key + ":");
}

}  // namespace

CFilePropDlg::CFilePropDlg(CVesSoundDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc)
{
    setWindowTitle(QStringLiteral("File properties"));
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("1391"));
    m_text->setReadOnly(true);
    m_text->setAccessibleName(QStringLiteral("Properties"));
    m_text->setLineWrapMode(QTextEdit::WidgetWidth);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(2, 2, 2, 2);
    box->addWidget(m_text);

    // The lines are "label<tabs>value": the tabs line the values up, here as
    // the two columns of a table.
    QString body;
    QString rows;
    for (const PropertyLine& line : filePropertiesText(doc)) {
        std::string text = line.text;
        while (!text.empty() && text.back() == '\t')
            text.pop_back();
        if (line.heading) {
            body += QStringLiteral("<p style=\"font-size:12pt; font-weight:bold; font-style:italic\">%1</p>").arg(html(text));
            continue;
        }
        const size_t tab = text.find('\t');
        if (tab == std::string::npos) {
            rows += QStringLiteral("<tr><td colspan=\"2\">%1</td></tr>").arg(text.empty() ? QStringLiteral("&nbsp;") : html(text));
            continue;
        }
        const size_t value = text.find_first_not_of('\t', tab);
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                    .arg(html(text.substr(0, tab)), html(value == std::string::npos ? std::string() : text.substr(value)));
    }
    body += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\" style=\"font-size:10pt\">%1</table>").arg(rows);
    m_text->setHtml(body);

    GuanoRecord guano;
    std::string error;
    if (!doc.guano(guano, error) && !error.empty())
        m_metadataReadable = false;
    const bool legacy = m_metadataReadable && guano.encoding() == GuanoEncoding::Windows1252;
    auto* group = new QGroupBox(legacy ? QStringLiteral("Metadata (GUANO, read as Windows-1252)")
                                       : QStringLiteral("Metadata (GUANO)"),
                                this);
    group->setAccessibleName(QStringLiteral("Metadata"));
    auto* form = new QFormLayout(group);
    for (const std::string& key : GuanoRecord::editableKeys()) {
        const std::string* value = guano.find(key);
        QWidget* edit = nullptr;
        if (key == "Note") {
            auto* note = new QPlainTextEdit(group);
            note->setTabChangesFocus(true);
            note->setFixedHeight(note->fontMetrics().lineSpacing() * 4 + 12);
            if (value)
                note->setPlainText(QString::fromStdString(guanoValueForDisplay(*value)));
            edit = note;
        } else {
            auto* line = new QLineEdit(group);
            if (value)
                line->setText(QString::fromStdString(*value));
            edit = line;
        }
        const QString name = QString::fromStdString(key);
        edit->setObjectName(name);
        edit->setAccessibleName(name);
        edit->setEnabled(m_metadataReadable);
        form->addRow(metadataLabel(key), edit);
        m_fields.push_back(edit);
    }
    if (!m_metadataReadable)
        group->setToolTip(QString::fromStdString("The GUANO metadata cannot be read (" + error +
                                                 "); it is kept as it is."));
    box->addWidget(group);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
    resize(520, 600);
}

QWidget* CFilePropDlg::metadataField(const std::string& key) const
{
    const auto& keys = GuanoRecord::editableKeys();
    for (std::size_t i = 0; i < keys.size() && i < m_fields.size(); ++i)
        if (keys[i] == key)
            return m_fields[i];
    return nullptr;
}

QString CFilePropDlg::metadataText(const std::string& key) const
{
    QWidget* w = metadataField(key);
    if (auto* note = qobject_cast<QPlainTextEdit*>(w))
        return note->toPlainText();
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    return QString();
}

void CFilePropDlg::setMetadataText(const std::string& key, const QString& text)
{
    QWidget* w = metadataField(key);
    if (auto* note = qobject_cast<QPlainTextEdit*>(w))
        note->setPlainText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
}

bool CFilePropDlg::applyMetadata()
{
    if (!m_metadataReadable)
        return false;
    GuanoRecord guano;
    std::string error;
    m_doc.guano(guano, error);
    bool changed = false;
    const auto& keys = GuanoRecord::editableKeys();
    for (std::size_t i = 0; i < keys.size() && i < m_fields.size(); ++i) {
        // A value is one line of the chunk: the note's line breaks go out as
        // "\n" escapes, line breaks pasted into a one-line field as blanks.
        const QString text = metadataText(keys[i]);
        std::string value = qobject_cast<QPlainTextEdit*>(m_fields[i])
                                ? guanoValueFromDisplay(text.toStdString())
                                : text.simplified().toStdString();
        const std::string* old = guano.find(keys[i]);
        if (value.empty()) {
            changed = guano.remove(keys[i]) || changed;
        } else if (!old || *old != value) {
            guano.set(keys[i], std::move(value));
            changed = true;
        }
    }
    if (!changed)
        return false;
    // A new record gets its version line when it is written.
    m_doc.setGuano(guano);
    return true;
}

void CFilePropDlg::accept()
{
    applyMetadata();
    QDialog::accept();
}
