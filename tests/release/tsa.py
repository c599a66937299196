#!/usr/bin/env python3
"""A throw-away RFC 3161 time-stamp authority on 127.0.0.1 for the release tests.

tsa.py ID_DIR SECONDS

Answers each POSTed time-stamp query with `openssl ts -reply`, signed by ID_DIR/tsa.pem and
ID_DIR/tsa.key (tools/make-test-cert.sh makes them). Prints the URL it listens on as its first
line, then serves until SECONDS have passed and exits by itself.
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading

ID_DIR, SECONDS = os.path.abspath(sys.argv[1]), float(sys.argv[2])
CONFIG = f"""
[tsa]
default_tsa = test_tsa
[test_tsa]
serial = {ID_DIR}/tsa-serial
signer_cert = {ID_DIR}/tsa.pem
signer_key = {ID_DIR}/tsa.key
signer_digest = sha256
certs = {ID_DIR}/tsa.pem
default_policy = 1.3.6.1.4.1.57264.1
digests = sha256, sha384, sha512, sha1
ess_cert_id_alg = sha256
"""


class TimeStamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as scratch:
            config, query_file, reply_file = (os.path.join(scratch, n) for n in ("tsa.cnf", "query", "reply"))
            with open(config, "w") as f:
                f.write(CONFIG)
            with open(query_file, "wb") as f:
                f.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", query_file,
                                   "-out", reply_file], capture_output=True)
            if made.returncode != 0:
                self.send_error(500, made.stderr.decode(errors="replace")[:200])
                return
            with open(reply_file, "rb") as f:
                reply = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


if not os.path.exists(f"{ID_DIR}/tsa-serial"):
    with open(f"{ID_DIR}/tsa-serial", "w") as f:
        f.write("01\n")
server = http.server.HTTPServer(("127.0.0.1", 0), TimeStamps)
print(f"http://127.0.0.1:{server.server_port}/", flush=True)
threading.Timer(SECONDS, server.shutdown).start()
server.serve_forever()
