#pragma once

#include <string>

// The preferences dialog's controls as the dialog logic sees them, addressed
// by their numeric control ids. Lists keep the order entries were added in.
// Changing a selection through this interface never notifies the logic back.
// UI thread only.
class IPreferencesView {
public:
    virtual ~IPreferencesView() = default;

    virtual void AddItem(int id, const char* text) = 0;
    virtual void ClearItems(int id) = 0;
    virtual int ItemCount(int id) = 0;
    // Text of entry index, or an empty string outside the list.
    virtual std::string ItemText(int id, int index) = 0;
    // index -1 (or any index outside the list) leaves the list without a selection.
    virtual void SelectItem(int id, int index) = 0;
    // Selected position, or -1 when nothing is selected.
    virtual int SelectedItem(int id) = 0;
    virtual void EnableControl(int id, bool enabled) = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsChecked(int id) = 0;
    // Sets the text of a note under the lists (empty: no note).
    virtual void SetText(int id, const char* text) = 0;
    // Ends the modal dialog with result (1 OK, 2 Cancel).
    virtual void EndDialog(int result) = 0;
};
