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

// Nine letters or digits: what the custody paperwork and its barcodes carry.
bool IsValidSSN(QStringView ssn);
// Data rows (0-based) whose SSN, from the rightmost SSN column, is not valid; none when no
// column is marked SSN.
QList<int> RowsWithoutValidSSN(const TImportTable &table);
// Members (indexes) whose SSN is not valid.
QList<int> MembersWithoutValidSSN(const TRosterRecs &recs);
// "3 members have no valid SSN" ("1 member has no valid SSN"); empty for none.
QString NoValidSSNText(int count);

// The mapped columns that hold formulas saved without their values (by a program that does
// not calculate), as an error that says what to do; empty when there are none.
QString ValuelessFormulasText(const TImportTable &table);
