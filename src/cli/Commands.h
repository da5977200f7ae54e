#pragma once

#include <QString>

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

/// Reads the terminal back and compares it with what a write of `written`
/// sent (--adjust, --service); prints each differing field.
int VerifyImage(const CliOptions& options, const ParameterImage& written);

/// Prints "tr5906ctl: <reason>" on standard error.
void PrintError(const QString& reason);
