#include "shell/CFilePropDlg.h"

#include "document/FileProperties.h"

#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QString html(const std::string& s)
{
    return QString::fromStdString(s).toHtmlEscaped();
}

}  // namespace

CFilePropDlg::CFilePropDlg(const CVesSoundDoc& doc, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("File properties"));
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("1391"));
    m_text->setReadOnly(true);
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
    resize(520, 480);
}
