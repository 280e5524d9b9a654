"""For tests only: an RFC 3161 timestamp server on this machine's loopback,
answering with openssl's own timestamp authority (`openssl ts -reply`) from
the keys throwaway-keys.sh made, or, with --silent, taking each connection
and never answering. Writes the port it listens on to PORT_FILE, then serves
until killed.

Usage: timestamp-server.py KEYS_DIR PORT_FILE [--silent]"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading


class Authority(http.server.BaseHTTPRequestHandler):
    keys = None

    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "query"), "wb") as file:
                file.write(query)
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", "tsa.cnf", "-queryfile",
                                    os.path.join(work, "query"), "-chain", "root.pem"],
                                   cwd=self.keys, capture_output=True)
        if reply.returncode:
            self.send_error(500, reply.stderr.decode(errors="replace"))
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *arguments):
        pass


class Silent(http.server.BaseHTTPRequestHandler):
    def handle(self):
        threading.Event().wait()


def main():
    keys, port_file, *mode = sys.argv[1:]
    Authority.keys = keys
    handler = Silent if mode == ["--silent"] else Authority
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    with open(port_file + ".partial", "w") as file:
        file.write(str(server.server_address[1]))
    os.replace(port_file + ".partial", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
