// The plot window keeps its drawing through repaints and redraws it when resized;
// its image can be saved as PNG or SVG.

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "gui/PlotWindow.h"
#include "gui/QtPlotCanvas.h"
#include "gui/tests/ScriptedPrompts.h"
#include "model/CurveArrays.h"

using namespace korvel;
using namespace korvel::gui;
using korvel::gui::testing::ScriptedPrompts;

namespace {

CurveArrays Decay() {
    CurveArrays c;
    c.Resize(50);
    for (int i = 0; i < 50; ++i) {
        c.Angle[i] = 0.05 * i;
        c.MeasuredIntensity[i] = std::pow(10.0, -0.1 * i);
        c.SmearedCurve[i] = std::pow(10.0, -0.11 * i);
    }
    return c;
}

int CountPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++n;
    return n;
}

}  // namespace

class PlotWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void StartsHiddenAndWhiteAtItsStatedSize() {
        ScriptedPrompts prompts;
        PlotWindow window(prompts);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.size(), QSize(537, 376));
        QCOMPARE(window.windowTitle(), QString("   Plot of Experimental data and the best fit "));
        QCOMPARE(CountPixels(window.Image(), qRgb(255, 255, 255)), 537 * 376);
    }

    void DrawsBothCurvesAndKeepsThemThroughRepaintsAndResizes() {
        ScriptedPrompts prompts;
        PlotWindow window(prompts);
        window.show();
        window.Draw(Decay());
        QVERIFY(CountPixels(window.Image(), qRgb(0, 0, 255)) > 100);
        QVERIFY(CountPixels(window.Image(), qRgb(255, 0, 0)) > 100);
        window.repaint();  // as after being covered
        QVERIFY(CountPixels(window.grab().toImage(), qRgb(0, 0, 255)) > 100);
        window.resize(800, 500);
        QCOMPARE(window.Image().size(), QSize(800, 500));
        QVERIFY(CountPixels(window.Image(), qRgb(0, 0, 255)) > 100);
    }

    void SavesPngAndSvgAndAsksBeforeReplacing() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        PlotWindow window(prompts);
        window.Draw(Decay());
        const QString png = dir.filePath("plot.png");
        prompts.SaveAnswers << png;
        window.SaveImageClick();
        QImage saved(png);
        QCOMPARE(saved.size(), QSize(537, 376));
        QVERIFY(CountPixels(saved, qRgb(255, 0, 0)) > 100);
        const QString svg = dir.filePath("plot.svg");
        prompts.SaveAnswers << svg;
        window.SaveImageClick();
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("<svg"));
        QVERIFY(text.contains(">Experiment</text>"));
        prompts.SaveAnswers << png;
        prompts.AskAnswers = {QMessageBox::No};
        window.resize(300, 200);
        window.SaveImageClick();
        QCOMPARE(QImage(png).size(), QSize(537, 376));  // kept
        QVERIFY(prompts.Warnings.isEmpty());
    }

    void QtCanvasPlacesTextByItsTopLeftCorner() {
        QImage image(200, 100, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QtPlotCanvas canvas(image);
            canvas.SetFont("System", 8, kPlotBlack);
            canvas.TextOut(50, 40, "8888");
        }
        int top = -1;
        for (int y = 0; y < 100 && top < 0; ++y)
            for (int x = 0; x < 200; ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    top = y;
                    break;
                }
        QVERIFY(top >= 40 && top < 52);
    }
};

QTEST_MAIN(PlotWindowTest)
#include "PlotWindowTest.moc"
