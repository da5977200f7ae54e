#pragma once
// A main window on fakes: a temporary settings store, ports mapped to files
// of a temporary folder, a fake serial link on a virtual clock and scripted
// prompts.

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "ScriptedPrompts.h"
#include "link/PortCatalog.h"
#include "link/QtSettingsStore.h"
#include "ui/FormMain.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <memory>

struct FormMainRig {
  QTemporaryDir dir;
  QtSettingsStore store{dir.filePath("settings.ini")};
  PortCatalog ports{store};
  ManualClock clock;
  FakeSerialLink link{clock};
  FakeSerialLink updateLink{clock};
  ScriptedPrompts prompts;
  QSet<int> inUse;  ///< mapped ports that do not open (another program holds them)

  /// Maps each number to a device file of its own.
  explicit FormMainRig(const QList<int>& mapped = {}) {
    for (int n : mapped) {
      const QString device = dir.filePath(QStringLiteral("tty%1").arg(n));
      QFile file(device);
      file.open(QIODevice::WriteOnly);
      ports.Map(n, device);
    }
    ports.SetDeviceLister([] { return QStringList(); });
    ports.SetProber([this](const QString& device) {
      const int n = QFileInfo(device).fileName().mid(3).toInt();
      return !inUse.contains(n);
    });
  }

  std::unique_ptr<FormMain> Make(bool english = false, bool service = false) {
    FormMainOptions options;
    options.english = english;
    options.service = service;
    return std::make_unique<FormMain>(FormMainServices{link, updateLink, clock, ports, &prompts},
                                      options);
  }
};
