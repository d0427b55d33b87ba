// A web server on a free loopback port for tests of the real web view: it answers each known path at
// once, except the held ones, whose answers wait until Release (a slow part of a page). It keeps the
// path and query of every request it was sent.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>
#include <string>
#include <vector>

class HeldHttpServer {
 public:
  HeldHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection())
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
    });
  }

  void Serve(const QString& Path, const QByteArray& Type, const QByteArray& Body, bool Held = false) {
    files_[Path] = {Type, Body};
    if (Held) held_.insert(Path);
  }
  [[nodiscard]] std::string Url(const QString& Path) const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + Path.toStdString();
  }
  // Requests of held paths that are waiting for their answer.
  [[nodiscard]] int Waiting() const { return static_cast<int>(waiting_.size()); }
  // Answers the waiting requests and every later one at once; with Path, only those of that path.
  void Release(const QString& Path = {}) {
    if (Path.isEmpty())
      held_.clear();
    else
      held_.remove(Path);
    std::erase_if(waiting_, [&](auto& waiting) {
      if (!Path.isEmpty() && waiting.second != Path) return false;
      if (waiting.first) Answer(waiting.first, waiting.second);
      return true;
    });
  }
  [[nodiscard]] const std::vector<QString>& Requested() const { return requested_; }

 private:
  struct File {
    QByteArray Type, Body;
  };

  void Read(QTcpSocket* Socket) {
    QByteArray& request = requests_[Socket];
    request += Socket->readAll();
    if (!request.contains("\r\n\r\n")) return;
    const QString target = QString::fromLatin1(request.split(' ').value(1));
    const QString path = target.section('?', 0, 0);
    requested_.push_back(target);
    requests_.erase(Socket);
    if (held_.contains(path))
      waiting_.emplace_back(Socket, path);
    else
      Answer(Socket, path);
  }
  void Answer(QTcpSocket* Socket, const QString& Path) {
    const auto it = files_.find(Path);
    const File file = it != files_.end() ? it->second : File{"text/plain", "missing"};
    Socket->write((it != files_.end() ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                  QByteArray("Content-Type: ") + file.Type + "\r\nContent-Length: " +
                  QByteArray::number(file.Body.size()) + "\r\nConnection: close\r\n\r\n" + file.Body);
    Socket->disconnectFromHost();
  }

  QTcpServer server_;
  std::map<QString, File> files_;
  QSet<QString> held_;
  std::map<QTcpSocket*, QByteArray> requests_;
  std::vector<std::pair<QPointer<QTcpSocket>, QString>> waiting_;
  std::vector<QString> requested_;
};
