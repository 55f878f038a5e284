#pragma once
// Test helper: zip packages made on the spot with libgsf, for the spreadsheet readers.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QTest>
#include <utility>

// Writes a zip package of the given parts with libgsf (deflated).
inline void WriteZip(const QString &path, const QList<std::pair<QString, QByteArray>> &parts)
{
    gsf_init();
    GError *error = nullptr;
    GsfOutput *file = gsf_output_stdio_new(QFile::encodeName(path).constData(), &error);
    QVERIFY(file);
    GsfOutfile *zip = gsf_outfile_zip_new(file, &error);
    QVERIFY(zip);
    QHash<QString, GsfOutfile *> dirs;
    QList<GsfOutfile *> order;
    for (const auto &[name, bytes] : parts) {
        QStringList segments = name.split('/');
        const QString leaf = segments.takeLast();
        GsfOutfile *dir = zip;
        QString at;
        for (const QString &s : segments) {
            at += s + '/';
            if (!dirs.contains(at)) {
                GsfOutfile *child = GSF_OUTFILE(gsf_outfile_new_child(dir, s.toUtf8().constData(), TRUE));
                dirs.insert(at, child);
                order.prepend(child);
            }
            dir = dirs.value(at);
        }
        GsfOutput *out = gsf_outfile_new_child(dir, leaf.toUtf8().constData(), FALSE);
        gsf_output_write(out, size_t(bytes.size()), reinterpret_cast<const guint8 *>(bytes.constData()));
        gsf_output_close(out);
        g_object_unref(out);
    }
    for (GsfOutfile *d : order) {   // innermost first
        gsf_output_close(GSF_OUTPUT(d));
        g_object_unref(d);
    }
    gsf_output_close(GSF_OUTPUT(zip));
    g_object_unref(zip);
    gsf_output_close(file);
    g_object_unref(file);
}

// Stores a workbook stream in an OLE2 file, as Excel does.
inline void WriteXls(const QString &path, const QByteArray &stream)
{
    gsf_init();
    GError *error = nullptr;
    GsfOutput *file = gsf_output_stdio_new(QFile::encodeName(path).constData(), &error);
    QVERIFY(file);
    GsfOutfile *ole = gsf_outfile_msole_new(file);
    GsfOutput *book = gsf_outfile_new_child(ole, "Workbook", FALSE);
    gsf_output_write(book, size_t(stream.size()), reinterpret_cast<const guint8 *>(stream.constData()));
    gsf_output_close(book);
    g_object_unref(book);
    gsf_output_close(GSF_OUTPUT(ole));   // closes the file too
    g_object_unref(ole);
    g_object_unref(file);
}
