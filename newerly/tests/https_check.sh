#!/usr/bin/env bash
# The release newerly.exe (built with the tests' key) over real HTTPS, as it meets its fixed
# update folder: the folder's host is mapped to this machine in /etc/hosts, a test root authority
# that signs the server's certificate joins the host's certificate store (Wine checks servers
# against it), and a small HTTPS server on 127.0.0.1:443 serves the folder (and plain HTTP on port
# 80, for a redirect). Then the same with the root taken away again: the program must refuse the
# server. /etc/hosts and the store are put back on every way out.
# Needs root, openssl, update-ca-certificates and python3; without them the test is skipped (77).
# Usage: https_check.sh E2E_TEST_EXE UPDATE_HOST WINE_EXEC
set -euo pipefail
test_exe=$1 host=$2 wine_exec=$3

if [ "$(id -u)" -ne 0 ]; then echo "skipped: the HTTPS check changes /etc/hosts and the certificate store, which needs root"; exit 77; fi
for tool in openssl update-ca-certificates python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

work=$(mktemp -d /tmp/quietrail-https.XXXXXX)
marker="# quietrail-https-check $$"
ca_file=/usr/local/share/ca-certificates/quietrail-https-check-$$.crt
server_pid=""

# Wine copies the host's roots into the prefix's registry and keeps them there: the test root is
# taken out of both.
thumbprint=""
remove_root() {
  if [ -f "$ca_file" ]; then
    rm -f "$ca_file"
    update-ca-certificates >/dev/null 2>&1 || true
  fi
  if [ -n "$thumbprint" ]; then
    "$wine_exec" reg delete "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumbprint" /f \
      >/dev/null 2>&1 </dev/null || true
  fi
}
restore() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  # Only our own line goes; the file is rewritten in place (it may be a bind mount).
  if grep -qF "$marker" /etc/hosts; then
    grep -vF "$marker" /etc/hosts > "$work/hosts" || true
    cat "$work/hosts" > /etc/hosts
  fi
  remove_root
  rm -rf "$work"
}
trap restore EXIT
trap 'exit 1' INT TERM HUP

cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj "/CN=Quietrail HTTPS check root $$" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=$host" >/dev/null 2>&1
printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' "$host" > server.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 2 -extfile server.ext >/dev/null 2>&1
thumbprint=$(openssl x509 -in ca.crt -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
cp ca.crt "$ca_file"
update-ca-certificates >/dev/null 2>&1
echo "127.0.0.1 $host $marker" >> /etc/hosts

# The server ends by itself after five minutes whatever happens here.
mkdir -p serve
# A name ending in ".tohttp" is sent on to the same file over plain http, which port 80 serves.
cat > server.py <<'PY'
import functools, http.server, ssl, sys, threading, os
folder, cert, key, host = sys.argv[1:5]
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.endswith(".tohttp"):
            self.send_response(302)
            self.send_header("Location", "http://" + host + self.path[:-len(".tohttp")])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()
handler = functools.partial(Handler, directory=folder)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 443), handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
plain = http.server.ThreadingHTTPServer(("127.0.0.1", 80), handler)
threading.Thread(target=plain.serve_forever, daemon=True).start()
threading.Timer(300, lambda: os._exit(0)).start()
print("ready", flush=True)
server.serve_forever()
PY
python3 server.py "$work/serve" server.crt server.key "$host" > server.log 2>&1 &
server_pid=$!
for _ in $(seq 1 50); do
  grep -q ready server.log 2>/dev/null && break
  kill -0 "$server_pid" 2>/dev/null || { cat server.log; echo "skipped: no HTTPS server on 127.0.0.1:443"; exit 77; }
  sleep 0.1
done

rc=0
QR_HTTPS_SERVE_DIR="$work/serve" "$wine_exec" "$test_exe" --gtest_filter='ReleaseOverHttps.WithTheHostTrusted*' || rc=1
remove_root
QR_HTTPS_SERVE_DIR="$work/serve" QR_HTTPS_UNTRUSTED=1 "$wine_exec" "$test_exe" --gtest_filter='ReleaseOverHttps.WithoutTrust*' || rc=1
exit $rc
