// Small helpers of the settings dialogs' exchange: reading a numeric edit
// with or without messages, a row of two widgets.
#pragma once

#include "widgets/CNumEdit.h"

#include <QHBoxLayout>
#include <QWidget>

namespace settingsfields {

// Reads `e` into `out` (`emptyValue` for an allowed empty field); with
// `messages` a failed read shows the field's message.
inline bool read(CNumEdit* e, std::int64_t& out, std::int64_t emptyValue, bool messages)
{
    bool empty = false;
    std::int64_t v = 0;
    if (messages) {
        if (!e->readValue(v, &empty))
            return false;
    } else {
        const NumEditRead r = e->read();
        empty = r.status == NumEditRead::Status::Empty;
        if (!empty && !r.ok())
            return false;
        v = r.value;
    }
    out = empty ? emptyValue : v;
    return true;
}

inline QWidget* row(QWidget* a, QWidget* b)
{
    auto* w = new QWidget;
    auto* box = new QHBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(a, 1);
    box->addWidget(b, 1);
    return w;
}

}  // namespace settingsfields
