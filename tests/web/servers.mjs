// Web servers for the app's tests. AppServer serves one folder at /app/ on
// 127.0.0.1, and others beside it or inside it (copies of the app on one
// origin), can be stopped and started again on the same port (the app's
// origin), can serve another folder instead, and notes every request; with
// `iis`, it serves files as IIS 10 does, from the configuration in servers/
// and the folders' web.config. RealServer runs Debian's nginx or Apache on a
// folder served at /app/, with the app's own nginx.conf or .htaccess, from
// the configuration in servers/.
import { spawn } from "node:child_process";
import { chmodSync, cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { readFile } from "node:fs/promises";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { extname, join } from "node:path";
import { freePort, until } from "./browsers.mjs";

const configuration = (name) => readFileSync(new URL(`servers/${name}`, import.meta.url), "utf8");

const TYPES = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".webmanifest": "application/manifest+json",
  ".svg": "image/svg+xml",
  ".png": "image/png",
};

/** IIS's own configuration, which the folders' web.config files change. */
const IIS_SERVER = configuration("applicationHost.config");

/**
 * What IIS makes of the configuration files `configs`, its own first, then
 * the web.config files from the outermost folder in: the MIME map and the
 * headers it adds, or an error when a type is added twice (IIS's 500.19).
 */
function iisConfiguration(configs) {
  const types = {};
  const headers = {};
  for (const config of configs) {
    for (const [, element, attributes] of config.matchAll(/<(remove|mimeMap|add)\s([^>]*)\/>/g)) {
      const attribute = (name) => attributes.match(new RegExp(`${name}="([^"]*)"`))?.[1];
      const extension = attribute("fileExtension");
      if (element === "mimeMap" && extension in types) {
        return { error: `${extension} added twice` };
      }
      if (element === "mimeMap") {
        types[extension] = attribute("mimeType");
      } else if (element === "add") {
        headers[attribute("name")] = attribute("value");
      } else if (extension !== undefined) {
        delete types[extension];
      } else {
        delete headers[attribute("name")];
      }
    }
  }
  return { types, headers };
}

export class AppServer {
  constructor(folder, { iis = false } = {}) {
    /** The folder served at each path, /app/ first. */
    this.folders = new Map([["/app/", folder]]);
    this.iis = iis;
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

  /** The status, headers and body of the answer to `path`. */
  async answer(path) {
    // The innermost folder that holds the path, and those around it.
    const around = [...this.folders].filter(([at]) => path.startsWith(at))
      .sort(([a], [b]) => a.length - b.length);
    const [prefix, folder] = around.at(-1) ?? ["", null];
    const name = path.slice(prefix.length) || "index.html";
    let types = TYPES;
    let headers = {};
    if (this.iis) {
      const configs = await Promise.all(around.map(([, f]) => readFile(join(f, "web.config"), "utf8")
        .catch(() => "")));
      const iis = iisConfiguration([IIS_SERVER, ...configs]);
      if (iis.error) {
        return [500, {}, iis.error];
      }
      ({ types, headers } = iis);
    }
    if (folder === null || name.includes("/") || !(extname(name) in types)) {
      return [404, headers, ""];
    }
    try {
      const body = await readFile(join(folder, name));
      return [200, { ...headers, "Content-Type": types[extname(name)] }, body];
    } catch {
      return [404, headers, ""];
    }
  }

  async start() {
    this.server = createServer(async (request, response) => {
      const path = new URL(request.url, this.url).pathname;
      this.requests.push(path);
      const [status, headers, body] = await this.answer(path);
      response.writeHead(status, headers);
      response.end(body);
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

export class RealServer {
  /** `kind` is nginx or apache; `folder` is served at /app/. */
  constructor(kind, folder) {
    this.kind = kind;
    this.folder = folder;
    this.process = null;
  }

  get url() {
    return `http://127.0.0.1:${this.port}/app/`;
  }

  async start() {
    this.port = await freePort();
    this.work = mkdtempSync(join(tmpdir(), `dep-${this.kind}-`));
    chmodSync(this.work, 0o755); // for Apache's www-data
    const root = join(this.work, "root");
    cpSync(this.folder, join(root, "app"), { recursive: true });
    const name = this.kind === "nginx" ? "nginx.conf" : "apache2.conf";
    const config = join(this.work, name);
    writeFileSync(config, configuration(name).replaceAll("@WORK@", this.work).replaceAll("@PORT@", this.port));
    // As root, Apache serves as www-data.
    const [program, ...options] = this.kind === "nginx"
      ? ["/usr/sbin/nginx", "-e", join(this.work, "error.log"), "-p", this.work, "-c", config]
      : ["/usr/sbin/apache2", "-f", config, "-DFOREGROUND", ...(process.getuid() === 0 ? ["-DROOT"] : [])];
    this.process = spawn(program, options, { stdio: ["ignore", "ignore", "pipe"] });
    this.exited = new Promise((resolve) => this.process.on("exit", resolve));
    this.process.stderr.on("data", (text) => process.stderr.write(text));
    await until(async () => (await fetch(this.url)).status === 200, `${this.kind} to serve the app`);
  }

  /** Stops, and waits until the server has ended. */
  async stop() {
    this.process.kill("SIGTERM");
    await this.exited;
    rmSync(this.work, { recursive: true, force: true });
  }
}
