#include "shell/CFilePropDlg.h"

#include "document/FileProperties.h"

#include <QFontMetricsF>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

CFilePropDlg::CFilePropDlg(const CVesSoundDoc& doc, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("File properties"));
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("1391"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QTextEdit::NoWrap);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(2, 2, 2, 2);
    box->addWidget(m_text);

    QTextCharFormat heading;
    heading.setFontPointSize(12);
    heading.setFontWeight(QFont::Bold);
    heading.setFontItalic(true);
    QTextCharFormat body;
    body.setFontPointSize(10);
    QFont bodyFont = m_text->font();
    bodyFont.setPointSize(10);
    m_text->setTabStopDistance(QFontMetricsF(bodyFont).horizontalAdvance(QLatin1Char('x')) * 9);
    QTextCursor c(m_text->document());
    for (const PropertyLine& line : filePropertiesText(doc)) {
        c.insertText(QString::fromStdString(line.text), line.heading ? heading : body);
        c.insertBlock();
    }
    m_text->moveCursor(QTextCursor::Start);
    resize(520, 460);
}
