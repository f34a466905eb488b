#include "serve/server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <array>
#include <atomic>
#include <optional>
#include <chrono>
#include <system_error>
#include <thread>

#include "serve/library.h"

namespace scrivel::serve {
namespace {

// Each connection holds a thread while it is open: enough of them that
// a few hundred readers at once, or a client that stalls, keep no one
// waiting; a stalled client is let go after the read timeout.
constexpr std::size_t worker_threads = 256;
constexpr time_t read_timeout_seconds = 5;
constexpr time_t write_timeout_seconds = 10;
constexpr time_t keep_alive_seconds = 5;
constexpr std::size_t requests_per_connection = 1000;
constexpr std::size_t max_request_body = 64 * 1024;  // a GET has none; a larger one is refused
constexpr auto stop_poll = std::chrono::milliseconds(100);

// Fonts with every polytonic letter, from Debian's packages: the first
// found is served for the Greek.
constexpr std::array<const char*, 3> greek_fonts = {
    "/usr/share/fonts/truetype/gentiumplus/GentiumPlus-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

std::filesystem::path greek_font() {
  for (const char* font : greek_fonts) {
    std::error_code error;
    if (std::filesystem::is_regular_file(font, error)) return font;
  }
  return {};
}

// The pages name no other site: the browser fetches nothing from elsewhere
// and runs no script but the library's own.
void set_headers(httplib::Response& response, bool cacheable) {
  response.set_header("Content-Security-Policy",
                      "default-src 'self'; script-src 'self'; style-src 'self'; font-src 'self'; img-src 'self'; "
                      "object-src 'none'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("Cache-Control", cacheable ? "max-age=86400" : "no-cache");
}

void configure(httplib::Server& server, const Library& library) {
  // The address may be taken again at once after a stop, but not while
  // another server listens on it: that is a failure to say, not a port
  // to share.
  server.set_socket_options([](int socket) {
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.new_task_queue = [] { return new httplib::ThreadPool(worker_threads); };
  server.set_read_timeout(read_timeout_seconds, 0);
  server.set_write_timeout(write_timeout_seconds, 0);
  server.set_keep_alive_timeout(keep_alive_seconds);
  server.set_keep_alive_max_count(requests_per_connection);
  server.set_payload_max_length(max_request_body);
  // A page's last piece goes out at once, not after the client's
  // acknowledgement of the one before.
  server.set_tcp_nodelay(true);
  // The pages go out as they are: compressing them costs more than
  // sending them, above all Brotli's, which takes minutes over the
  // longest works. The request is the server's own, not yet answered.
  server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
    const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.Get(".*", [&library](const httplib::Request& request, httplib::Response& response) {
    Response answer = library.respond(request.path, request.params);
    response.status = answer.status;
    set_headers(response, answer.cacheable);
    if (!answer.rest) {
      response.set_content(std::move(answer.body), answer.content_type.c_str());
      return;
    }
    const std::string content_type = answer.content_type;
    response.set_chunked_content_provider(
        content_type, [answer = std::move(answer)](std::size_t, httplib::DataSink& sink) {
          const PieceWriter write = [&sink](std::string_view piece) { return sink.write(piece.data(), piece.size()); };
          if (write(answer.body)) answer.rest(write);
          sink.done();
          return true;
        });
  });
  // What the library has no answer for (another method, a malformed or
  // oversized request) gets a short text with its status.
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (!response.body.empty()) return;
    set_headers(response, false);
    response.set_content(std::to_string(response.status) + " the library cannot answer this request\n",
                         "text/plain; charset=utf-8");
  });
  server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    response.status = 500;
    set_headers(response, false);
    response.set_content("500 the library failed to answer\n", "text/plain; charset=utf-8");
  });
}

}  // namespace

int serve(const ServeRequest& request, corpus::Console& console) {
  std::optional<Library> library;
  try {
    library.emplace(LibrarySettings{request.database, request.author_file, greek_font()});
  } catch (const LibraryUnavailable& failure) {
    console.err << "scrivel-corpus: " << failure.what() << (std::string_view(failure.what()).ends_with('\n') ? "" : "\n");
    return 1;
  }
  httplib::Server server;
  configure(server, *library);
  int port = request.port;
  const bool bound = port == 0 ? (port = server.bind_to_any_port(request.address)) > 0
                               : server.bind_to_port(request.address, port);
  if (!bound) {
    console.err << "scrivel-corpus: cannot listen on " << request.address << " port " << request.port
                << " (in use, or no address of this machine)\n";
    return 1;
  }
  const bool ipv6 = request.address.find(':') != std::string::npos;
  console.err << "scrivel-corpus: serving " << request.database.string() << " at http://"
              << (ipv6 ? "[" + request.address + "]" : request.address) << ":" << port
              << "/ (Ctrl-C stops it)" << std::endl;
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    while (!done.load() && console.stop.load() == 0) std::this_thread::sleep_for(stop_poll);
    server.stop();
  });
  const bool listened = server.listen_after_bind();
  done = true;
  stopper.join();
  if (!listened && console.stop.load() == 0) {
    console.err << "scrivel-corpus: the server stopped on a failure of its socket\n";
    return 1;
  }
  console.err << "scrivel-corpus: stopped serving\n";
  return 0;
}

}  // namespace scrivel::serve
