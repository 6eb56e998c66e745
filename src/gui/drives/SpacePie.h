#pragma once
// The Open Drive dialog's pie chart: a drive's used and free space as two sectors with their
// legend ("Used Space", "Free Space"); empty while no drive is chosen.
#include <QWidget>

#include <cstdint>

namespace drivlet::gui {

class SpacePie final : public QWidget {
    Q_OBJECT
public:
    explicit SpacePie(QWidget* parent = nullptr);
    void SetValues(int64_t used, int64_t free);
    void Clear() { SetValues(0, 0); }
    int64_t Used() const { return used_; }
    int64_t Free() const { return free_; }
    QSize sizeHint() const override { return {220, 180}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int64_t used_ = 0;
    int64_t free_ = 0;
};

} // namespace drivlet::gui
