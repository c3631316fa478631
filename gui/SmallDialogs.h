#pragma once
// The three small windows of the Help and Tools menus: "About Program" (TFormAbout),
// "   History" (TFormHistory) and "Options" (TFormOptions).

#include <QDialog>
#include <QPixmap>

#include "model/SearchMethod.h"

class QCheckBox;
class QComboBox;
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
    // The global search of a fitting run: "Tunnelling" (the default) or a population
    // method; item i is kSearchMethodChoices[i].
    QComboBox* CB_GlobalSearch;
};

// The methods the Options dialog offers, in its order.
inline constexpr SearchMethod kSearchMethodChoices[] = {
    SearchMethod::Tunnelling, SearchMethod::SelfAdaptiveDe, SearchMethod::CmaEs,
    SearchMethod::ParticleSwarm};

}  // namespace korvel::gui
