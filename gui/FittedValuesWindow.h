#pragma once
// "Fitted values": the table of the last fit's free parameters, its reduced chi-square
// and its result files (output/FittedValuesView). The window takes the table's size;
// its right-click menu also copies the table to the clipboard and saves it as CSV.

#include <optional>

#include "fit/FittedValues.h"
#include "gui/ViewWindow.h"

namespace korvel::gui {

class FittedValuesWindow : public ViewWindow {
    Q_OBJECT
  public:
    explicit FittedValuesWindow(UserPrompts& prompts);

    void SetData(std::optional<FittedValuesTable> table);
    const std::optional<FittedValuesTable>& Table() const { return table_; }
    void FillContextMenu(QMenu& menu) override;
    bool HasContent() const override { return table_.has_value(); }
    // "Copy table": the CSV text to the clipboard.
    void CopyTableClick();
    // "Save table...": the CSV text to a file.
    void SaveTableClick();

  protected:
    void DrawView(PlotCanvas& canvas) const override;
    QString EmptyText() const override;

  private:
    std::optional<FittedValuesTable> table_;
};

}  // namespace korvel::gui
