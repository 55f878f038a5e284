#pragma once
// A label whose caption is drawn turned by a whole number of degrees (counter-clockwise on the
// page), and its draw command.
#include "report/ReportModel.h"

#include <QPoint>
#include <QRect>

class QPaintDevice;

class TDrawRotatedText : public TppDrawText
{
public:
    int Angle = 0;
    QPoint TextOrigin;   // screen pixels: the unturned text's top-left, from the box's top-left
    QString ClassName() const override { return QStringLiteral("TDrawRotatedText"); }
    void Assign(const TppDrawCommand &source) override;
    void Draw(QPainter &painter, const TppRenderContext &ctx) const override;
    // Returns true whether or not anything was drawn.
    bool DrawOn(QPainter &painter, const TppRenderContext &ctx) const;
};

class TRotatedLabel : public TppLabel
{
public:
    TRotatedLabel();
    QString ClassName() const override { return QStringLiteral("TRotatedLabel"); }
    QString DrawCommandClassName() const override { return QStringLiteral("TDrawRotatedText"); }

    int Angle() const { return m_angle; }
    void SetAngle(int angle);
    QPoint TextOrigin() const { return m_textOrigin; }
    void Loaded();
    // Layout state: while reading or loading, re-measuring is skipped.
    bool Reading = false;
    bool Loading = false;
    bool Pasting = false;
    void SetUserName(const QString &name) override;
    int RemeasureCount = 0;   // how often the label was measured (for callers that watch it)

    void Generate(TppPrintContext &ctx, int x, int y, int &height,
                  std::vector<TppDrawCommandPtr> &out) override;

    // Measure a caption as a word-wrapped block (screen-wide limit, tabs expanded, '&' plain)
    // on a device; (0, 0, w, h) in that device's pixels.
    static QRect MeasureText(const QFont &font, const QString &text, QPaintDevice *device, int widthLimit);
    // The turned box and the text origin of a measured rectangle at an angle.
    static void TurnedBox(const QRect &measured, int angle, QRect &box, QPoint &origin);
    // The font of the turned-text routine: em height from points at the device's dpi (halves to even).
    static QFont TurnedFont(const TppFont &font, double dpi);
    // TrueType check: false when the face is not scalable (then nothing is drawn).
    static bool IsTrueTypeFace(const QString &face);
    static QString ReplacementFace(const QString &face);
    static int ScreenWidthPixels();

private:
    static QRect measureText(const QFont &font, const QString &text, QPaintDevice *device, int widthLimit);
    static QFont turnedFont(const TppFont &font, double dpi);
    static bool isTrueTypeFace(const QString &face);
    void remeasure();
    int m_angle = 0;
    QPoint m_textOrigin;
};

void RegisterRotatedLabel();
void UnRegisterRotatedLabel();
