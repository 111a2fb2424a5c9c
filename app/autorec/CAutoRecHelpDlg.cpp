#include "autorec/CAutoRecHelpDlg.h"

#include "widgets/HelpFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <cctype>
#include <vector>

CAutoRecHelpDlg::CAutoRecHelpDlg(const QString& rtfPath, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Auto recording help"));
    setAccessibleName(QStringLiteral("Auto recording help"));
    m_text = new QTextBrowser(this);
    m_text->setReadOnly(true);
    m_text->setAccessibleName(QStringLiteral("Help text"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_text);
    resize(560, 480);
    QFile f(rtfPath.isEmpty() ? findHelpFile() : rtfPath);
    if (!f.fileName().isEmpty() && f.open(QIODevice::ReadOnly))
        m_text->setHtml(rtfToHtml(f.readAll()));
}

QString CAutoRecHelpDlg::findHelpFile()
{
    for (const std::string& folder : helpFolders()) {
        const QString path = QString::fromStdString(folder) + QLatin1Char('/') + QLatin1String(kFileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

namespace {

struct RtfStyle {
    bool bold = false, italic = false, underline = false, hidden = false;
    int skipAfterUnicode = 1;
};

// Windows-1252 bytes 0x80 .. 0x9F; the others are Latin-1.
QChar cp1252(unsigned char c)
{
    static const char16_t high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? QChar(high[c - 0x80]) : QChar(c);
}

bool isHiddenDestination(const QByteArray& word)
{
    static const char* const names[] = {"fonttbl", "colortbl", "stylesheet", "info",   "pict",     "object",
                                        "header",  "footer",   "listtable",  "latentstyles", "themedata",
                                        "generator", "xmlnstbl", "rsidtbl",  "filetbl"};
    for (const char* n : names)
        if (word == n)
            return true;
    return false;
}

}  // namespace

QString CAutoRecHelpDlg::rtfToHtml(const QByteArray& rtf)
{
    QString html;
    QString run;  // text of the current style, not yet written
    RtfStyle cur;
    std::vector<RtfStyle> stack;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        QString t = run.toHtmlEscaped();
        if (cur.underline)
            t = QStringLiteral("<u>") + t + QStringLiteral("</u>");
        if (cur.italic)
            t = QStringLiteral("<i>") + t + QStringLiteral("</i>");
        if (cur.bold)
            t = QStringLiteral("<b>") + t + QStringLiteral("</b>");
        html += t;
        run.clear();
    };
    const auto styleChange = [&](auto change) {
        flush();
        change(cur);
    };
    const int n = rtf.size();
    int skipChars = 0;
    for (int i = 0; i < n; ++i) {
        const char c = rtf[i];
        if (c == '{') {
            stack.push_back(cur);
            if (i + 2 < n && rtf[i + 1] == '\\' && rtf[i + 2] == '*')
                cur.hidden = true;
            continue;
        }
        if (c == '}') {
            flush();
            if (!stack.empty()) {
                cur = stack.back();
                stack.pop_back();
            }
            continue;
        }
        if (c == '\r' || c == '\n')
            continue;
        if (c != '\\') {
            if (skipChars > 0) {
                --skipChars;
                continue;
            }
            if (!cur.hidden)
                run += cp1252(static_cast<unsigned char>(c));
            continue;
        }
        // A control symbol or word.
        if (i + 1 >= n)
            break;
        const char s = rtf[i + 1];
        if (s == '\\' || s == '{' || s == '}') {
            if (!cur.hidden)
                run += QLatin1Char(s);
            ++i;
            continue;
        }
        if (s == '\'') {
            if (i + 3 < n) {
                bool ok = false;
                const int v = rtf.mid(i + 2, 2).toInt(&ok, 16);
                if (ok && !cur.hidden && skipChars == 0)
                    run += cp1252(static_cast<unsigned char>(v));
                else if (skipChars > 0)
                    --skipChars;
            }
            i += 3;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(s))) {
            if (s == '~' && !cur.hidden)
                run += QChar(0x00A0);
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < n && std::isalpha(static_cast<unsigned char>(rtf[j])))
            ++j;
        const QByteArray word = rtf.mid(i + 1, j - i - 1);
        int k = j;
        if (k < n && rtf[k] == '-')
            ++k;
        while (k < n && std::isdigit(static_cast<unsigned char>(rtf[k])))
            ++k;
        const bool hasParam = k > j;
        const int param = hasParam ? rtf.mid(j, k - j).toInt() : 1;
        if (k < n && rtf[k] == ' ')
            ++k;
        i = k - 1;
        if (isHiddenDestination(word)) {
            cur.hidden = true;
        } else if (cur.hidden) {
        } else if (word == "par") {
            flush();
            html += QStringLiteral("<br>\n");
        } else if (word == "line") {
            flush();
            html += QStringLiteral("<br>");
        } else if (word == "tab") {
            run += QStringLiteral("    ");
        } else if (word == "b") {
            styleChange([&](RtfStyle& st) { st.bold = param != 0; });
        } else if (word == "i") {
            styleChange([&](RtfStyle& st) { st.italic = param != 0; });
        } else if (word == "ul") {
            styleChange([&](RtfStyle& st) { st.underline = param != 0; });
        } else if (word == "ulnone") {
            styleChange([&](RtfStyle& st) { st.underline = false; });
        } else if (word == "plain") {
            styleChange([&](RtfStyle& st) { st.bold = st.italic = st.underline = false; });
        } else if (word == "uc") {
            cur.skipAfterUnicode = param;
        } else if (word == "u") {
            run += QChar(static_cast<char16_t>(param < 0 ? param + 65536 : param));
            skipChars = cur.skipAfterUnicode;
        } else if (word == "emdash") {
            run += QChar(0x2014);
        } else if (word == "endash") {
            run += QChar(0x2013);
        } else if (word == "bullet") {
            run += QChar(0x2022);
        }
    }
    flush();
    return html;
}
