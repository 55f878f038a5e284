#pragma once
#include <QList>
#include <QRectF>
#include <QString>
#include <memory>

class QPainter;
class QSvgRenderer;

// A printed caption of a blank form: drawn as real text over the form's lines,
// in the picture's own coordinates (thousandths of a millimetre of its viewBox).
struct TFormCaption
{
    QRectF Rect;
    double Points = 6;
    bool Bold = false;
    int Align = 0;          // Qt::Alignment flags
    bool Wrap = false;
    QString Text;
};
using TFormCaptions = QList<TFormCaption>;

// A blank form: its lines, boxes and shading (SVG) and its caption table.
// Drawn together so that the captions stay on the lines whatever the target size.
class TFormPicture
{
public:
    TFormPicture();
    ~TFormPicture();
    TFormPicture(const TFormPicture &) = delete;
    TFormPicture &operator=(const TFormPicture &) = delete;

    // Loads "<base>.svg" and, when present, "<base>.captions".
    // Raises Exception naming the file when the drawing is missing or unreadable.
    void LoadFromResource(const QString &base);
    // Loads a drawing from a file; a ".wmf" path is read from the ".svg" beside it
    // when the file itself is not SVG. Raises Exception naming the file on failure.
    void LoadFromFile(const QString &path);

    bool IsEmpty() const;
    // The coordinate space of drawing and captions (the SVG viewBox).
    QRectF ViewBox() const;
    // Physical frame size of the drawing, in thousandths of a millimetre.
    QSizeF FrameSize() const;
    const TFormCaptions &Captions() const { return m_captions; }
    const QString &SourceName() const { return m_source; }

    // Draws lines and captions into target (device coordinates). Fonts are sized
    // from the device's dpi, scaled with the picture's vertical stretch.
    void Draw(QPainter &painter, const QRectF &target) const;
    // Draws the caption table only (for a caller that draws the lines itself).
    void DrawCaptions(QPainter &painter, const QRectF &target) const;
    void DrawLines(QPainter &painter, const QRectF &target) const;

    static TFormCaptions ParseCaptions(const QString &text);

private:
    std::unique_ptr<QSvgRenderer> m_svg;
    TFormCaptions m_captions;
    QString m_source;
    QSizeF m_frame;
};
