// tr5906tool: the composition root of the window program. It creates the
// real serial links, clock and settings store and hands them to FormMain.
#include "link/PortCatalog.h"
#include "link/QtClock.h"
#include "link/QtSerialLink.h"
#include "link/QtSettingsStore.h"
#include "ui/Artwork.h"
#include "ui/FormMain.h"
#include "ui/QtTranslations.h"

#include <QApplication>
#include <QCommandLineParser>

#include <memory>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("QUELT");
  QApplication::setApplicationName("TR5906");
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                          .arg(TR5906_VERSION_MAJOR)
                                          .arg(TR5906_VERSION_MINOR)
                                          .arg(TR5906_VERSION_PATCH));
  QApplication::setWindowIcon(ApplicationIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription("Configuration tool for the TR5906 terminal.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption english("english", "Show every text in English.");
  const QCommandLineOption service("service", "Show the cloud-service page and its windows.");
  const QCommandLineOption settings(
      "settings", "Keep the port numbers and the remembered port in this file.", "file");
  parser.addOptions({english, service, settings});
  parser.process(app);

  std::unique_ptr<QtSettingsStore> store =
      parser.isSet(settings) ? std::make_unique<QtSettingsStore>(parser.value(settings))
                             : std::make_unique<QtSettingsStore>();
  PortCatalog ports(*store);
  const auto resolve = [&ports](int number) { return ports.DeviceFor(number); };
  QtSerialLink link(resolve);
  QtSerialLink updateLink(resolve);
  QtClock clock;

  FormMainOptions options;
  options.english = parser.isSet(english);
  options.service = parser.isSet(service);
  QtTranslations::Install(app, options.english);  // Qt's buttons and dialogs too
  FormMain window({link, updateLink, clock, ports, nullptr}, options);
  // A port that does not open: besides the message box, the list gets the
  // system's reason and the usual cause.
  const auto reason = [&window](const QString& text) { window.AddMessage(text); };
  link.SetOpenFailureHandler(reason);
  updateLink.SetOpenFailureHandler(reason);
  window.show();
  return app.exec();
}
