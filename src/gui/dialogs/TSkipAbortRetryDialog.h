#pragma once
// The Retry / Abort / Skip question of the low-disk check: a warning picture, a blue title line
// and a message, three buttons. The result is Retry 4, Skip 2, Abort 3; Escape and the close box
// give Skip. It fades in when shown and fades out before it closes with the chosen result (where
// there is no compositor the fade shows nothing, and the result is the same).
#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace drivlet::gui {

class TSkipAbortRetryDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSkip = 2;
    static constexpr int kAbort = 3;
    static constexpr int kRetry = 4;
    static constexpr int kClientWidth = 527;

    explicit TSkipAbortRetryDialog(QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    void SetMessage(const QString& message);
    QString Title() const;
    QString Message() const;

    QPushButton* RetryButton() const { return retry_; }
    QPushButton* AbortButton() const { return abort_; }
    QPushButton* SkipButton() const { return skip_; }

    // Starts the fade-out; the dialog closes with `result` once it is done. Later calls while
    // fading are ignored, so the first choice counts.
    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FadeStep();
    void FitHeight();

    QLabel* picture_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
    QWidget* buttonBar_ = nullptr;
    QPushButton* retry_ = nullptr;
    QPushButton* abort_ = nullptr;
    QPushButton* skip_ = nullptr;
    QString fullMessage_;
    QTimer fadeTimer_;
    int opacity_ = 0;  // out of 255
    int fadeStep_ = 0; // +10 fading in, -30 fading out
    int result_ = -1;  // set once a choice was made
};

} // namespace drivlet::gui
