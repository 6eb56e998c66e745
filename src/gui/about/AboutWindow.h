#pragma once
// The About window: the program's name, version, maker and what it is for. Closing it hides it.
#include <QWidget>

namespace drivlet::gui {

class AboutWindow final : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(const QIcon& icon, QWidget* parent = nullptr);
};

} // namespace drivlet::gui
