// The web library over the bundled sample's index: its pages and API, the
// reading page against the HTML document, escaping, and a real server
// given requests that it must refuse without harm to the others.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "corpus_testing.h"
#include "scrivel.h"
#include "search/sqlite.h"
#include "serve/library.h"
#include "serve/server.h"

namespace scrivel::testing {
namespace {

namespace fs = std::filesystem;
using serve::Library;
using serve::Response;

constexpr const char* iliad = "/urn:cts:greekLit:tlg0012.tlg001";

std::string sample_file() { return std::string(SCRIVEL_SAMPLE_DIR) + "/tlg0012.txt"; }

// The sample indexed into index.sqlite of a fresh directory.
class WebLibrary : public InFreshDirectory {
 protected:
  void SetUp() override {
    InFreshDirectory::SetUp();
    const Outcome built = run_corpus({"index", "--corpus", SCRIVEL_SAMPLE_DIR, "--db", "index.sqlite"});
    ASSERT_EQ(built.status, 0) << built.err;
  }
  static Library library() {
    return Library({"index.sqlite", [](int) { return sample_file(); }, {}});
  }
  static Response get(const Library& library, std::string_view path, serve::Parameters parameters = {}) {
    Response response = library.respond(path, parameters);
    response.body = response.whole();
    return response;
  }
};

TEST_F(WebLibrary, AnswersEachAddressWithItsPage) {
  struct Case {
    std::string path;
    serve::Parameters parameters;
    int status;
    std::string holds;
  };
  const std::vector<Case> cases = {
      {"/", {}, 200, "<a href=\"/tlg0012\">Homerus</a>"},
      {"/tlg0012", {}, 200, "<a href=\"/urn:cts:greekLit:tlg0012.tlg002\">Odyssea</a>"},
      {"/tlg0012", {}, 200, "<td>book.line</td>"},
      {iliad, {}, 200, "<a class=\"l\" id=\"1.2\" href=\"/urn:cts:greekLit:tlg0012.tlg001:1.2\">[1.2]</a>"},
      {std::string(iliad) + ":1.5", {}, 200, "data-passage=\"1.5\""},
      {std::string(iliad) + ":1", {}, 200, "data-passage=\"1.1\""},  // a book opens at its first line
      {std::string(iliad) + ":1.999", {}, 404, "has no passage 1.999"},
      {"/urn:cts:greekLit:tlg0012.tlg009", {}, 404, "is not in the index"},
      {"/tlg0013", {}, 404, "tlg0013 is not in the index"},
      {"/tlg12", {}, 404, "There is no page"},
      {"/tlg-012", {}, 404, "There is no page"},
      {"/urn:cts:greekLit:tlg0012.tlg-01", {}, 404, "There is no page"},
      {"/search", {{"q", "mh=nin"}}, 200, "<mark>μῆνιν</mark>"},
      {"/search", {{"q", "μηνιν"}, {"exact", "1"}}, 200, "0 hits in 0 works"},
      {"/search", {{"q", "\"unclosed"}}, 400, "class=\"error\""},
      {"/search", {{"q", "mh=nin"}, {"page", "0"}}, 400, "page must be a number"},
      {"/search", {{"q", "mh=nin"}, {"within", "12:x"}}, 400, "within takes authors and works"},
      {"/api/authors", {}, 200, "\"name\":\"Homerus\""},
      {"/api/tlg0012", {}, 200, "\"levels\":[\"book\",\"line\"]"},
      {"/api/urn:cts:greekLit:tlg0012.tlg001:1.2", {}, 200,
       "\"lines\":[{\"urn\":\"urn:cts:greekLit:tlg0012.tlg001:1.2\",\"citation\":\"1.2\",\"text\":\"οὐλομένην"},
      {"/api/search", {{"q", "mh=nin"}}, 200, "\"matches\":[[0,5]]"},
      {"/api/count", {{"q", "a)/ndra"}}, 200, "\"hits\":1}],\"total\":2"},
      {"/api/search", {{"q", "NEAR("}}, 400, "\"error\""},
      {"/api/nothing", {}, 404, "no such address"},
      {"/static/scrivel.css", {}, 200, "@font-face"},
  };
  const Library served = library();
  for (const Case& each : cases) {
    const Response response = get(served, each.path, each.parameters);
    EXPECT_EQ(response.status, each.status) << each.path;
    EXPECT_NE(response.body.find(each.holds), std::string::npos) << each.path << " lacks " << each.holds;
    EXPECT_EQ(response.content_type.starts_with("application/json"), each.path.starts_with("/api/")) << each.path;
  }
}

// The page's text is the document's body, anchors aside, and the anchors
// name the lines as the tsv records do, in their order.
TEST_F(WebLibrary, AWorksPageReadsAsItsHtmlDocument) {
  const Library served = library();
  const std::string author_file = read_file(sample_file());
  for (const int work : {1, 2}) {
    const Response page = get(served, "/urn:cts:greekLit:tlg0012.tlg00" + std::to_string(work));
    ASSERT_EQ(page.status, 200);
    const std::string open = "<div class=\"text\" id=\"text\" lang=\"grc\">";
    const std::size_t start = page.body.find(open) + open.size();
    const std::string text = page.body.substr(start, page.body.find("</div>\n</main>") - start);

    const Conversion document = convert(author_file, {12, work, Format::html, Normalization::none, "tlg0012.txt", {}, {}});
    const std::size_t body = document.document.find("<body>\n") + 7;
    const std::string document_text =
        document.document.substr(body, document.document.rfind("\n</body>") - body);
    EXPECT_EQ(std::regex_replace(text, std::regex("<a class=\"l\"[^>]*>|</a>"), ""), document_text);

    const Conversion records = convert(author_file, {12, work, Format::tsv, Normalization::nfc, "tlg0012.txt", {}, {}});
    std::vector<std::string> passages, anchors;
    const std::regex passage_of_record("\n[^\t]*:([^\t:]*)\t");
    for (std::sregex_iterator at(records.document.begin(), records.document.end(), passage_of_record), end; at != end; ++at)
      passages.push_back((*at)[1]);
    const std::regex anchor("<a class=\"l\" id=\"([^\"]*)\"");
    for (std::sregex_iterator at(text.begin(), text.end(), anchor), end; at != end; ++at) anchors.push_back((*at)[1]);
    EXPECT_EQ(anchors, passages);
    EXPECT_GT(anchors.size(), 50u);
  }
}

TEST_F(WebLibrary, ShowsMarkupFromTheIndexAsText) {
  {
    search::Database db("index.sqlite", search::Database::Mode::read_write_create);
    db.execute("UPDATE works SET title = '<script>alert(1)</script>' WHERE work = 1");
    db.execute("UPDATE authors SET name = '<img src=x onerror=alert(2)>', synonyms = '\"><b>bold</b>'");
  }
  const Library served = library();
  const std::vector<std::pair<std::string, serve::Parameters>> pages = {
      {"/", {}}, {"/tlg0012", {}}, {iliad, {}}, {"/search", {{"q", "mh=nin"}}}, {"/search", {{"q", "\"><script>x"}}}};
  for (const auto& [path, parameters] : pages) {
    const std::string body = get(served, path, parameters).body;
    for (const char* markup : {"<script>", "<img", "<b>bold"})
      EXPECT_EQ(body.find(markup), std::string::npos) << path << " holds " << markup;
  }
  EXPECT_NE(get(served, iliad).body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(get(served, "/").body.find("&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
}

TEST_F(WebLibrary, ReachesNothingOutsideWhatItServes) {
  const Library served = library();
  for (const char* path : {"/../../etc/passwd", "/static/../../../etc/passwd", "/static/greek.ttf/../../../etc/passwd",
                           "/static//etc/passwd", "/tlg0012/../../etc/passwd", "/urn:cts:greekLit:tlg0012.tlg001:../x",
                           "/api/../../etc/passwd", "/static/%2e%2e/%2e%2e/etc/passwd", "//etc/passwd", ""}) {
    const Response response = get(served, path);
    EXPECT_EQ(response.status, 404) << path;
    EXPECT_EQ(response.body.find("root:"), std::string::npos) << path;
  }
}

TEST_F(WebLibrary, WithoutTheAuthorFileAWorkIsNoTextButTheIndexStillServes) {
  const Library served({"index.sqlite", [](int) { return std::string("no/such/file.txt"); }, {}});
  const Response page = get(served, iliad);
  EXPECT_EQ(page.status, 503);
  EXPECT_NE(page.body.find("no/such/file.txt"), std::string::npos);
  EXPECT_EQ(get(served, "/api/urn:cts:greekLit:tlg0012.tlg001:1.1").status, 200);
}

TEST_F(WebLibrary, RefusesToStartWithoutAnIndex) {
  write_file("not-an-index.sqlite", "plain text");
  for (const char* database : {"missing.sqlite", "not-an-index.sqlite"})
    EXPECT_THROW(Library({database, [](int) { return sample_file(); }, {}}), serve::LibraryUnavailable) << database;
}

// Requests answered on many threads at once are answered as each alone.
TEST_F(WebLibrary, AnswersManyAtOnceAsEachAlone) {
  const Library served = library();
  const std::vector<std::pair<std::string, serve::Parameters>> asked = {
      {"/", {}},
      {std::string(iliad) + ":1.5", {}},
      {"/urn:cts:greekLit:tlg0012.tlg002", {}},
      {"/search", {{"q", "mh=nin"}}},
      {"/search", {{"q", "qea/"}, {"exact", "1"}}},
      {"/api/count", {{"q", "\"mh=nin a)/eide\""}}},
      {"/api/urn:cts:greekLit:tlg0012.tlg002:1", {}},
  };
  std::vector<std::string> alone;
  for (const auto& [path, parameters] : asked) alone.push_back(get(served, path, parameters).body);
  std::atomic<int> differing{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 8; ++thread)
    threads.emplace_back([&] {
      for (int round = 0; round < 3; ++round)
        for (std::size_t i = 0; i < asked.size(); ++i)
          if (get(served, asked[i].first, asked[i].second).body != alone[i]) ++differing;
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(differing.load(), 0);
}

TEST(TurnGate, LetsNoMoreInAtOnceThanItHasTurns) {
  serve::TurnGate gate(2);
  std::atomic<int> inside{0}, most{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 12; ++thread)
    threads.emplace_back([&] {
      for (int round = 0; round < 5; ++round) {
        const serve::TurnGate::Turn turn = gate.enter();
        const int now = ++inside;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        --inside;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(most.load(), 2);
}

// A free port of the loopback, for a server to take next.
int free_port() {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(probe);
  return ntohs(address.sin_port);
}

// Whether a response has come whole.
bool whole(const std::string& response) {
  const std::size_t head_end = response.find("\r\n\r\n");
  if (head_end == std::string::npos) return false;
  if (const std::size_t chunked = response.find("Transfer-Encoding: chunked"); chunked < head_end)
    return response.ends_with("\r\n0\r\n\r\n");
  const std::size_t length = response.find("Content-Length: ");
  if (length == std::string::npos || length > head_end) return true;
  return response.size() >= head_end + 4 + std::stoul(response.substr(length + 16));
}

// A connection to the server on the loopback, given bytes as they come.
class Connection {
 public:
  explicit Connection(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const timeval timeout{10, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~Connection() { ::close(socket_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool connected() const { return connected_; }
  void send(std::string_view bytes) { (void)::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // One response: its head, and as much body as its Content-Length says;
  // what came before the server closed the connection, where it did.
  std::string answer() {
    std::string received;
    char buffer[65536];
    for (ssize_t got; !whole(received) && (got = ::recv(socket_, buffer, sizeof buffer, 0)) > 0;)
      received.append(buffer, got);
    return received;
  }

 private:
  int socket_;
  bool connected_ = false;
};

std::string answer_to(int port, std::string_view request) {
  Connection connection(port);
  connection.send(request);
  return connection.answer();
}

std::string status_line(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

std::string get_request(std::string_view target) {
  return "GET " + std::string(target) + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
}

// A server on the loopback in a thread of the test, stopped as a signal
// would stop it.
class RunningServer {
 public:
  RunningServer() : port_(free_port()) {
    const serve::ServeRequest request{"index.sqlite", [](int) { return sample_file(); }, "127.0.0.1", port_};
    thread_ = std::thread([this, request] {
      corpus::Console console{out_, err_, false, stop_};
      status_ = serve::serve(request, console);
    });
    for (int tries = 0; tries < 500 && !Connection(port_).connected(); ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~RunningServer() { stop(); }
  RunningServer(const RunningServer&) = delete;
  RunningServer& operator=(const RunningServer&) = delete;

  int port() const { return port_; }
  // Stops it; returns its exit status, and what it said.
  int stop() {
    stop_ = SIGTERM;
    if (thread_.joinable()) thread_.join();
    return status_;
  }
  std::string said() const { return err_.str(); }

 private:
  int port_;
  std::atomic<int> stop_{0};
  std::ostringstream out_, err_;
  int status_ = -1;
  std::thread thread_;
};

TEST_F(WebLibrary, AServerRefusesWhatItCannotAnswerAndServesTheOthers) {
  RunningServer server;
  const int port = server.port();
  {
    Connection stalled(port);  // half a request, and then nothing
    stalled.send("GET / HTTP/1.1\r\nHost: loc");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(status_line(answer_to(port, get_request("/"))), "HTTP/1.1 200 OK");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2)) << "a stalled client held it up";
  }

  const std::string long_target = "/" + std::string(20000, 'a');
  const std::string long_header =
      "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\nX-Long: " + std::string(20000, 'b') + "\r\n\r\n";
  const std::string large_body =
      "POST /search HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\nConnection: close\r\n\r\n" +
      std::string(100000, 'c');
  struct Refusal {
    std::string request;
    std::string status_from;  // the status line's start
  };
  const std::vector<Refusal> refusals = {
      {"NONSENSE\r\n\r\n", "HTTP/1.1 4"},
      {"GET / HTTP/9.9\r\nConnection: close\r\n\r\n", "HTTP/1.1 4"},
      {get_request(long_target), "HTTP/1.1 414"},
      {long_header, "HTTP/1.1 4"},
      {large_body, "HTTP/1.1 413"},
      {get_request("/%2e%2e/%2e%2e/etc/passwd"), "HTTP/1.1 404"},
      {get_request("/static/%2e%2e%2f%2e%2e%2fetc%2fpasswd"), "HTTP/1.1 404"},
      {get_request("/static/..%252f..%252fetc%252fpasswd"), "HTTP/1.1 404"},
      {get_request("/search?q=%ff%fe%00"), "HTTP/1.1 4"},
  };
  for (const Refusal& refusal : refusals) {
    const std::string answer = answer_to(port, refusal.request);
    EXPECT_TRUE(answer.starts_with(refusal.status_from)) << refusal.request.substr(0, 60) << " got "
                                                         << status_line(answer);
    EXPECT_EQ(answer.find("root:"), std::string::npos);
  }
  // Sent as it is, whatever compression the client would take.
  const std::string page = answer_to(
      port, "GET " + std::string(iliad) + " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: br, gzip\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(status_line(page), "HTTP/1.1 200 OK");
  EXPECT_NE(page.find("Content-Security-Policy: default-src 'self'"), std::string::npos);
  EXPECT_EQ(page.find("Content-Encoding"), std::string::npos);
  EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
  EXPECT_NE(page.find("μῆνιν ἄειδε θεὰ"), std::string::npos);
  EXPECT_NE(page.find("</html>"), std::string::npos);
  EXPECT_EQ(server.stop(), 0);
  EXPECT_NE(server.said().find("at http://127.0.0.1:" + std::to_string(port) + "/"), std::string::npos) << server.said();
}

TEST_F(WebLibrary, ServeSaysWhyItCannotStart) {
  const Outcome missing = run_corpus({"serve", "--corpus", SCRIVEL_SAMPLE_DIR, "--db", "missing.sqlite"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("missing.sqlite"), std::string::npos) << missing.err;
  RunningServer taken;
  const Outcome in_use = run_corpus(
      {"serve", "--corpus", SCRIVEL_SAMPLE_DIR, "--db", "index.sqlite", "--port", std::to_string(taken.port())});
  EXPECT_EQ(in_use.status, 1);
  EXPECT_NE(in_use.err.find("cannot listen on 127.0.0.1 port " + std::to_string(taken.port())), std::string::npos);
  for (const char* bad : {"--port=70000", "--port=x", "--bind="})
    EXPECT_EQ(run_corpus({"serve", bad}).status, 2) << bad;
}

}  // namespace
}  // namespace scrivel::testing
