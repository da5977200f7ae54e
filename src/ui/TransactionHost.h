#pragma once

#include <QString>

class Clock;
class MessageSink;
class Prompts;
class SerialLink;

/// The main window as a feature that runs a transaction of its own (the
/// read-back after a write, compare with the terminal) or waits for the port
/// (ports that follow the cable, dropped files) sees it: the port and format
/// of the window's transactions, whether the port is free, and the controls
/// that are disabled while a transaction runs.
class TransactionHost {
 public:
  /// What a feature's own engine needs to reach the terminal as the window does.
  struct Parts {
    SerialLink& link;
    Clock& clock;
    Prompts& prompts;
    MessageSink& sink;  ///< the message list
  };

  /// The port, format and scope of the window's transactions now.
  struct Setup {
    int port = 1;
    QString linkSettings;       ///< "9600,N,8,1"
    bool english = false;       ///< the language of the questions
    bool adjust = false;        ///< a write also sends the adjust byte
    bool service = false;       ///< the extended block travels too
    bool serialNumber = false;  ///< and the production serial number
  };

  virtual ~TransactionHost() = default;
  /// The window's port number, link format and transfer scope.
  virtual Setup LinkSetup() const = 0;
  /// True while no transaction, the window's or a feature's, holds a port.
  virtual bool Idle() const = 0;
  /// Disables (false) or enables again the controls that start a
  /// transaction or touch the port or the whole image.
  virtual void SetTransactionControlsEnabled(bool enabled) = 0;
};
