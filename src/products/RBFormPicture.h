#pragma once
#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QString>
#include <memory>

class TppBand;
class TppImage;
class TppLabel;
class TppPicture;

// A printed caption of a blank form, in the picture's own coordinates (its viewBox,
// thousandths of a millimetre of the rectangle the picture is drawn into).
struct TFormCaption
{
    QRectF Rect;
    double Points = 6;
    bool Bold = false;
    int HAlign = 0;          // 0 left, 1 centred, 2 right
    bool VCenter = false;
    QString Text;            // '\n' breaks a line
};
using TFormCaptions = QList<TFormCaption>;

// A blank form: its lines, boxes and shading (SVG) and the table of its captions,
// which print as real text so that pages stay small and searchable.
class TFormPicture
{
public:
    // "<base>.svg" and, when present, "<base>.captions" (a resource or a file).
    // Raises Exception naming the file when the drawing is missing or unreadable.
    void LoadFromResource(const QString &base);
    // A drawing from a file. A path ending ".wmf" that holds no SVG is read from the
    // ".svg" beside it. Raises Exception naming the file on failure.
    void LoadFromFile(const QString &path);

    const QByteArray &SvgData() const { return m_svg; }
    QRectF ViewBox() const { return m_viewBox; }
    const TFormCaptions &Captions() const { return m_captions; }
    const QString &SourceName() const { return m_source; }
    std::shared_ptr<TppPicture> Picture() const;

    // Puts the picture into the image and its captions, as labels, into the band
    // the image sits in, mapped onto the image's rectangle.
    QList<TppLabel *> Apply(TppImage *image) const;

    static TFormCaptions ParseCaptions(const QString &text);

private:
    QByteArray m_svg;
    QRectF m_viewBox;
    TFormCaptions m_captions;
    QString m_source;
};
