// The peer of the start-up benchmark: a bare web view showing one page, nothing else. Writes "loaded"
// to its standard output when the page has finished loading.
#include <QApplication>
#include <QUrl>
#include <QWebEngineView>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  QWebEngineView view;
  QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool) {
    std::printf("loaded %s\n", view.url().toString().toUtf8().constData());
    std::fflush(stdout);
  });
  view.resize(612, 300);
  view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
  view.show();
  return app.exec();
}
