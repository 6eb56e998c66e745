#pragma once
// What the widget tests share: waiting on a condition while the event loop runs, with a generous
// deadline, instead of sleeping; finding a control by its text.
#include <QTest>
#include <QWidget>

#include <functional>

namespace drivlet::test {

// Runs the event loop until `done` holds; false when the deadline came first.
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = 60000);

// The first child of the window of type T (a label, button, check box...) showing `text`.
template <typename T> T* FindByText(QWidget& window, const QString& text) {
    for (T* w : window.findChildren<T*>())
        if (w->text() == text) return w;
    return nullptr;
}

} // namespace drivlet::test
