// A static web server for the app's tests: it serves one folder at /app/ on
// 127.0.0.1, and others beside it (copies of the app on one origin), can be
// stopped and started again on the same port (the app's origin), can serve
// another folder instead, and notes every request.
import { readFile } from "node:fs/promises";
import { createServer } from "node:http";
import { extname, join } from "node:path";

const TYPES = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".webmanifest": "application/manifest+json",
  ".svg": "image/svg+xml",
  ".png": "image/png",
};

export class AppServer {
  constructor(folder) {
    /** The folder served at each path, /app/ first. */
    this.folders = new Map([["/app/", folder]]);
    this.port = 0; // any free port at the first start
    /** The path of every request that reached the server, in order. */
    this.requests = [];
    this.server = null;
  }

  /** The URL of the app's folder, /app/, or of the folder served at `path`. */
  urlOf(path = "/app/") {
    return `http://127.0.0.1:${this.port}${path}`;
  }

  get url() {
    return this.urlOf();
  }

  /** Serves `folder` at /app/ from now on. */
  set folder(folder) {
    this.folders.set("/app/", folder);
  }

  async start() {
    this.server = createServer(async (request, response) => {
      const path = new URL(request.url, this.url).pathname;
      this.requests.push(path);
      const [prefix, folder] = [...this.folders].find(([at]) => path.startsWith(at)) ?? ["", null];
      const name = path.slice(prefix.length) || "index.html";
      try {
        if (folder === null || name.includes("/")) {
          throw new Error("not a file of the app");
        }
        const body = await readFile(join(folder, name));
        response.writeHead(200, { "Content-Type": TYPES[extname(name)] ?? "text/plain" });
        response.end(body);
      } catch {
        response.writeHead(404);
        response.end();
      }
    });
    await new Promise((resolve) => this.server.listen(this.port, "127.0.0.1", resolve));
    this.port = this.server.address().port;
  }

  /** Stops at once: the connections a browser keeps open are closed too. */
  async stop() {
    const closed = new Promise((resolve) => this.server.close(resolve));
    this.server.closeAllConnections();
    await closed;
  }
}
