#pragma once

#include "common/AutoDate.h"

#include <QDate>
#include <QString>
#include <QWidget>
#include <optional>

class QCalendarWidget;
class QFrame;
class QLineEdit;
class QToolButton;

namespace tzsndmsg::ui {

// A date field that holds whatever text it is given (a mask such as "__/__/__", or garbage a
// user typed), with a calendar that drops down from its button. The text is the value; the
// date is what the text reads as. Children: "dateEdit" and "dropDown"; the pop-up "calendar".
// Alt+Down or F4 in the edit opens the calendar. The edit and the button are named for a screen
// reader after the field's own accessible name, else after the label that has it as its buddy.
class DateCombo : public QWidget {
    Q_OBJECT
public:
    explicit DateCombo(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

    // The text read as a date (with any time it names), none when it is not one.
    std::optional<common::AutoDate> date() const;
    // True when the text is a date inside the range (a time of day alone is not).
    bool isValidDate() const;
    // Sets the text to the date in the display format; an invalid date clears the text.
    void setDate(const QDate& date);

    QString displayFormat() const { return m_format; }
    void setDisplayFormat(const QString& pattern);

    // An invalid bound leaves that side open.
    void setRange(const QDate& minimum, const QDate& maximum);
    QDate minimumDate() const { return m_minimum; }
    QDate maximumDate() const { return m_maximum; }

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* dropDownButton() const { return m_button; }
    // Made when first wanted: a window holds several date fields and seldom opens a calendar.
    QCalendarWidget* calendar() const;

    bool isPopupVisible() const;

public slots:
    void showPopup();
    void hidePopup();

signals:
    // Every change of the text, typed or set.
    void changed();
    // A day picked on the calendar (after the text was set).
    void dateSelected(const QDate& date);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pickDate(const QDate& date);
    void nameParts();

    QLineEdit* m_edit;
    QToolButton* m_button;
    QFrame* m_popup;
    mutable QCalendarWidget* m_calendar = nullptr;
    QString m_format = QStringLiteral("mm/dd/yyyy");
    QDate m_minimum, m_maximum;
    bool m_rangeSet = false;
};

} // namespace tzsndmsg::ui
