#pragma once
// The three small windows of the Help and Tools menus: "About Program" (TFormAbout),
// "   History" (TFormHistory) and "Options" (TFormOptions).

#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QListWidget;

namespace korvel::gui {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog();
};

// The About picture: a layer stack on a substrate beside a reflectivity curve.
QPixmap AboutPicture(int width, int height);

class HistoryDialog : public QDialog {
    Q_OBJECT
  public:
    HistoryDialog();
    QListWidget* ListBox1;
};

class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    OptionsDialog();
    QCheckBox* CB_FitLog;
};

}  // namespace korvel::gui
