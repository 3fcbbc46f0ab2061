#pragma once

#include <QFrame>

class QListView;
class QStandardItemModel;
class QPlainTextEdit;
class RTAutocompletePopupWindowController;
class RTDirectInputLineViewController;

// The mention completion window under the text box: the users whose screen name starts
// with what was typed after "@". It never takes the keyboard focus; the text box sends
// it Up, Down, Return, Tab and Escape.
class RTAutocompletePopup : public QFrame
{
    Q_OBJECT

public:
    explicit RTAutocompletePopup(QPlainTextEdit *textBox);

    [[nodiscard]] RTAutocompletePopupWindowController *logic() const { return m_logic; }
    // Shows the rows for the line's mention at the caret, or hides.
    void showFor(RTDirectInputLineViewController *line);
    [[nodiscard]] int currentRow() const;
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] QString rowText(int row) const;
    void moveSelection(int delta);
    void chooseCurrent();

private:
    void rebuildRows();
    void place();

    QPlainTextEdit *m_textBox;
    RTAutocompletePopupWindowController *m_logic;
    QListView *m_list;
    QStandardItemModel *m_model;
};
