#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tovik {

class SessionStore;

// The session's feedback text as it will be exported, selectable, with a copy button.
// Window-modal over the session window; closing it only hides it.
class FeedbackPromptSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr QSize fixedSize{680, 500};

    explicit FeedbackPromptSheet(SessionStore& store, QWidget* parent);

    // Shows the store's current prompt.
    void refresh();

private:
    SessionStore& store_;
    QPlainTextEdit* text_;
};

} // namespace tovik
