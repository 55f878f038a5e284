#pragma once
#include "roster/ImportTable.h"

#include <QString>

class TServiceUtils;

// Rules of the format-roster step that the wizard page and the headless program share.

// The file type a roster's extension selects (".XLS"/".XLSX"/".XLSM" Excel, ".TXT"/".CSV"
// comma text, ".MDB" Access, ".DBF" dBase, ".ODS" OpenDocument, compared in upper case);
// iftNone for any other extension.
TImportFileType FileTypeOfExtension(const QString &path);

// The required columns not yet identified, as the status line lists them:
// "You must identify the following column(s): Last Name, Rank, Gender";
// empty when every required column has a kind.
QString MissingColumnsText(const TImportTable &table, const TServiceUtils *profile);
