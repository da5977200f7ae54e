#pragma once
// Inner state of TransactionEngine, shared by its implementation files
// (TransactionEngine.cpp, TransactionEngineSteps.cpp). Not for callers.

#include "link/Clock.h"
#include "link/Frame.h"
#include "link/TransactionEngine.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class MessageSink;
class ParameterImage;
class Prompts;
class SerialLink;

struct TransactionEngine::State {
  /// How SendFrame sends: the first three open a transaction, End closes it,
  /// the others continue it.
  enum class Mode { OpenRead, OpenWrite, OpenDetect, End, ReadEeprom, WriteEeprom, Retry };

  /// One block of a read or write transfer.
  struct Step {
    int address = 0;
    int count = 0;
    bool adjust = false;  ///< the adjust byte
  };

  // Wire timing.
  static constexpr std::chrono::milliseconds kAnswerTimeout{1000};
  static constexpr std::chrono::milliseconds kEndTick{1};       ///< closes the port after the end
  static constexpr std::chrono::milliseconds kRefusalTick{10};  ///< the same after a refusal
  static constexpr std::chrono::milliseconds kContinuePause{2};
  static constexpr std::chrono::milliseconds kFormatChangeClose{5};
  static constexpr std::chrono::milliseconds kFormatChangeOpen{2};
  static constexpr std::chrono::milliseconds kProbePause{1000};

  State(SerialLink& link, Clock& clock, Prompts& prompts, MessageSink& sink, ParameterImage& image);

  // Collaborators.
  SerialLink& link;
  Clock& clock;
  Prompts& prompts;
  MessageSink& sink;
  ParameterImage& image;
  std::unique_ptr<Timer> timer1;  ///< answer time-out and the end-of-transaction tick
  std::unique_ptr<Timer> pause;   ///< the pause after a wrong probe answer
  std::function<void(Kind, bool)> finished;

  // Settings that outlive a transaction.
  int portNumber = 1;
  QString linkSettings = QStringLiteral("9600,N,8,1");
  int formatIndex = 0;
  bool adjustMode = false;
  bool english = false;
  bool service = false;
  bool serviceSerialNumber = false;
  bool readAdjustByte = false;
  ParameterImage* readTarget = nullptr;  ///< where a read stores (nullptr: image)

  // Request state.
  Frame::Request request;
  int lastKind = Frame::kNoAnswer;
  int address = 0;  ///< address of the current block

  // Transaction state.
  Kind running = Kind::None;
  bool done = false;
  bool succeeded = false;
  bool awaitingAnswer = false;
  bool timeoutBusy = false;
  bool asking = false;  ///< the Retry/Cancel question is open
  int retryCount = 0;
  /// Time-outs of each request of the transfer since the last question,
  /// keyed by RequestKey(). A good handshake clears retryCount and restarts
  /// the plan, so a terminal that never answers one request but answers the
  /// others would otherwise be retried for ever without a question.
  std::map<int, int> timeoutsPerRequest;
  bool adjustPending = false;
  std::vector<Step> plan;
  std::size_t step = 0;

  // Core log.
  int logEnd = 0;
  int logLastOffset = 0;
  int logLastLength = 0;

  bool Reading() const { return running == Kind::Read || running == Kind::Log; }
  /// The request waiting for its answer: the greeting (-1) or the data
  /// request at its address.
  int RequestKey() const { return lastKind == Frame::kDataAnswer ? address : -1; }

  // TransactionEngine.cpp
  bool Start(Kind kind);
  bool Prepare(Kind kind);
  void SendFrame(Mode mode);
  void OnAnswer();
  void OnTimeout();
  void OnLost(const QString& reason);
  void PortError(const QString& reason);
  void EndFailed(std::chrono::milliseconds tick);
  void EndNormally();
  void Finish();
  void Line(const QString& text);
  QString TryLine() const;

  // TransactionEngineSteps.cpp
  void BuildPlan();
  void OnHandshakeAnswer(const QByteArray& answer);
  bool ChangeToTransferFormat();
  void SendStep();
  void OnDataAnswer(const QByteArray& answer);
  void WriteStep();
  void ReadStep(const QByteArray& answer);
  void LogStep(const QByteArray& answer);
  void OnProbeAnswer(const QByteArray& answer);
  QString Progress(int acked) const;
};
