#pragma once

#include "link/TransactionEngine.h"

#include <QString>
#include <QStringList>

#include <functional>

struct CliOptions;
class ParameterImage;

// One function per command of tr5906ctl; each returns the exit status and
// prints its one-line reason on standard error when it fails.

int RunRead(const CliOptions& options);
int RunWrite(const CliOptions& options);
int RunReset(const CliOptions& options);
int RunLog(const CliOptions& options);
int RunDetect(const CliOptions& options);
int RunUpdate(const CliOptions& options);
int RunShow(const CliOptions& options);
int RunDiff(const CliOptions& options);
int RunPorts(const CliOptions& options);
int RunVerify(const CliOptions& options);
int RunProvision(const CliOptions& options);
int RunRecords(const CliOptions& options);
int RunExport(const CliOptions& options);
int RunApply(const CliOptions& options);
int RunSet(const CliOptions& options);

/// Runs one engine transaction on `image` (--adjust, --service as given) and
/// returns the exit status; `what` names it in the failure line, `onSuccess`
/// runs after a success.
int Transact(const CliOptions& options, ParameterImage& image, TransactionEngine::Kind kind,
             const QString& what, const std::function<void()>& onSuccess = {});

/// Reads the terminal back and compares it with what a write of `written`
/// sent (--adjust, --service); prints each differing field.
int VerifyImage(const CliOptions& options, const ParameterImage& written);

/// Prints the error lines of a refused configuration text and one line
/// saying that nothing was written; returns the exit status (2).
int RefuseText(const QStringList& lines, const QString& what);

/// Prints "tr5906ctl: <reason>" on standard error.
void PrintError(const QString& reason);
