#pragma once

#include <QDialog>
#include <QList>
#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class TScheduleEvent;
class TServiceTablesWrapper;

// "Tunora - Schedule Event": the modal editor of one timed recording. Times and lengths are
// typed as text and rewritten by the minutes rule when the edit is left; the file is chosen
// through the record manager's save dialog (nothing is offered while there is none). Main
// thread only.
class TScheduleEventForm : public QDialog {
    Q_OBJECT

public:
    // `tables` is not owned and must outlive the window; the service list is read once here.
    TScheduleEventForm(const TServiceTablesWrapper& tables, QWidget* parent);

    // Shows the editor of `event` modally; on OK stores the values into `event` and answers true.
    static bool EditEvent(TScheduleEvent& event, const TServiceTablesWrapper& tables,
                          QWidget* parent);

    void LoadFromEvent(const TScheduleEvent& event);
    void StoreToEvent(TScheduleEvent& event) const;
    // The OK button: runs the checks in order; the first failure shows its box and keeps the
    // window open (false). Accepts the dialog and answers true otherwise.
    bool OKButtonClick();
    // Offers the save dialog; a chosen name replaces the file name.
    void BrowseButtonClick();
    // Rewrites the time and length texts by the minutes rule.
    void NormaliseTimes();
    // Enables the date for a one-off only (no day ticked).
    void UpdateDateEnabled();

    // Minutes of the edits; empty when the text does not fit 32 bits.
    std::optional<std::int32_t> TimeMinutes() const;
    std::optional<std::int32_t> LengthMinutes() const;
    std::int32_t SelectedService() const;
    void SelectService(std::int32_t serviceId);

    // Monday first, as the boxes stand.
    QList<QCheckBox*> DayBoxes;
    QDateEdit* DateDateTimePicker;
    QLineEdit* TimeEdit;
    QLineEdit* LengthEdit;
    QComboBox* ServiceComboBox;
    QLineEdit* FilenameEdit;
    QPushButton* BrowseButton;
    QCheckBox* AppendDateCheckBox;
    QComboBox* AppendDateComboBox;
    QCheckBox* AppendTimeCheckBox;
    QComboBox* AppendTimeComboBox;
    QPushButton* OKButton;
    QPushButton* CancelButton;

private:
    const TServiceTablesWrapper& tables_;
};
