// Web servers for the app's tests. AppServer serves one folder at /app/ on
// 127.0.0.1, and others beside it or inside it (copies of the app on one
// origin), can be stopped and started again on the same port (the app's
// origin), can serve another folder instead, and notes every request; with
// `iis`, it serves files as IIS 10 or 7.5 does, from the configuration in
// servers/ and the folders' web.config, and with `portal`, some as a sign-on
// portal guards them. RealServer runs Debian's nginx or Apache with their
// configuration as installed on a folder served at /dep/, with the app's
// files for them added as the README says.
import { execFileSync, spawn } from "node:child_process";
import { chmodSync, cpSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { readFile } from "node:fs/promises";
import { createServer } from "node:http";
import { tmpdir, userInfo } from "node:os";
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

/** IIS's own configuration, which the folders' web.config files change: IIS
 * 10's, or IIS 7.5's, which does not know .svg either. */
const IIS_SERVER = configuration("applicationHost.config");
const IIS_7_5_SERVER = IIS_SERVER.replace(/ *<mimeMap fileExtension=".svg"[^>]*>\n/, "");
if (IIS_7_5_SERVER === IIS_SERVER) {
  throw new Error("IIS's configuration in servers/ maps no .svg to take out for IIS 7.5");
}

/** The page of another site of the server. */
const OTHER_SITE = "<!DOCTYPE html><html lang=\"fr\"><title>Intranet</title><p>Autre site</p></html>";

/** What a sign-on portal gives in place of a page it guards. */
const LOGIN_PAGE = "<!DOCTYPE html><html lang=\"fr\"><title>Connexion</title><p>Identifiez-vous</p></html>";

/**
 * What IIS makes of the configuration files `configs`, its own first, then
 * the web.config files from the outermost folder in: the MIME map and the
 * headers it adds (Cache-Control: no-cache for a client cache disabled), or
 * an error when a type is added twice (IIS's 500.19).
 */
function iisConfiguration(configs) {
  const types = {};
  const headers = {};
  for (const config of configs) {
    for (const [, element, attributes] of config.matchAll(/<(remove|mimeMap|add|clientCache)\s([^>]*)\/>/g)) {
      const attribute = (name) => attributes.match(new RegExp(`${name}="([^"]*)"`))?.[1];
      const extension = attribute("fileExtension");
      if (element === "clientCache") {
        delete headers["Cache-Control"];
        if (attribute("cacheControlMode") === "DisableCache") {
          headers["Cache-Control"] = "no-cache";
        }
      } else if (element === "mimeMap" && extension in types) {
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
  /**
   * `iis`: false, true (IIS 10) or "7.5". `portal` maps paths that a
   * sign-on portal guards to what it does: "redirect" to its login page,
   * or "page", the login page given in place of the file.
   */
  constructor(folder, { iis = false, portal = new Map() } = {}) {
    /** The folder served at each path, /app/ first. */
    this.folders = new Map([["/app/", folder]]);
    this.iis = iis;
    this.portal = portal;
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
    const guarded = path === "/login/" ? "page" : this.portal.get(path);
    if (guarded) {
      return guarded === "page" ? [200, { "Content-Type": "text/html; charset=utf-8" }, LOGIN_PAGE]
        : [302, { Location: "/login/" }, ""];
    }
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
      const iis = iisConfiguration([this.iis === "7.5" ? IIS_7_5_SERVER : IIS_SERVER, ...configs]);
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

  /** Stops at once, if it runs: the connections a browser keeps open are closed too. */
  async stop() {
    if (!this.server?.listening) {
      return;
    }
    const closed = new Promise((resolve) => this.server.close(resolve));
    this.server.closeAllConnections();
    await closed;
  }
}

/** A copy of the folder `from` at `to`, with its files' times, readable by the server's user. */
function copyTree(from, to, options = {}) {
  cpSync(from, to, { recursive: true, preserveTimestamps: true, ...options });
  chmodSync(to, 0o755);
}

/** `file` with each [text, replacement] of `changes` made, each required. */
function edit(file, ...changes) {
  let text = readFileSync(file, "utf8");
  for (const [from, to] of changes) {
    if (!text.includes(from)) {
      throw new Error(`${file} has no "${from}" to change`);
    }
    text = text.replaceAll(from, to);
  }
  writeFileSync(file, text);
}

export class RealServer {
  /**
   * Debian's nginx or Apache (`kind`) as installed: its configuration copied
   * from /etc with the default site's root in a folder of its own, on a free
   * port, with the app's file for it from `snippets` added as the README
   * says, and `folder` at /dep/ of the root, beside another site's page at
   * /. `site` holds lines the site adds for every address (Apache's
   * conf-enabled/, or nginx's server block); without `headers`, Apache's
   * mod_headers is not enabled.
   */
  constructor(kind, folder, snippets, { site = [], headers = true } = {}) {
    Object.assign(this, { kind, snippets, site, headers });
    this.app = folder;
    this.process = null;
  }

  get origin() {
    return `http://127.0.0.1:${this.port}/`;
  }

  get url() {
    return `${this.origin}dep/`;
  }

  /** The app's folder replaced by `folder`, as an update does, the server running on. */
  set folder(folder) {
    this.app = folder;
    if (this.work) {
      rmSync(join(this.work, "www/html/dep"), { recursive: true, force: true });
      copyTree(folder, join(this.work, "www/html/dep"));
    }
  }

  async start() {
    this.port = await freePort();
    this.work = mkdtempSync(join(tmpdir(), `dep-${this.kind}-`));
    chmodSync(this.work, 0o755); // for the servers' www-data
    mkdirSync(join(this.work, "www/html"), { recursive: true });
    chmodSync(join(this.work, "www"), 0o755);
    writeFileSync(join(this.work, "www/html/index.html"), OTHER_SITE);
    this.folder = this.app;
    const [program, options, environment] = this.kind === "nginx" ? this.nginx() : this.apache();
    this.process = spawn(program, options, { stdio: ["ignore", "ignore", "pipe"], env: { ...process.env, ...environment } });
    this.exited = new Promise((resolve) => this.process.on("exit", resolve));
    this.process.stderr.on("data", (text) => process.stderr.write(text));
    await until(async () => (await fetch(this.origin)).status === 200, `${this.kind} to serve`);
  }

  /** nginx's configuration, its default site with the app's location. */
  nginx() {
    const etc = join(this.work, "nginx");
    copyTree("/etc/nginx", etc, { dereference: true });
    edit(join(etc, "nginx.conf"), ["/etc/nginx", etc], ["/var/log/nginx", this.work],
      ["/run/nginx.pid", join(this.work, "nginx.pid")],
      // Where a user may write, when the tests do not run as root.
      ["http {", `http {\n\tclient_body_temp_path ${this.work}/body;\n\tproxy_temp_path ${this.work}/proxy;\n` +
        `\tfastcgi_temp_path ${this.work}/fastcgi;\n\tuwsgi_temp_path ${this.work}/uwsgi;\n\tscgi_temp_path ${this.work}/scgi;`]);
    cpSync(join(this.snippets, "nginx.conf"), join(etc, "snippets/dep.conf"));
    edit(join(etc, "sites-available/default"), ["/var/www", join(this.work, "www")],
      ["listen 80 default_server;", `listen 127.0.0.1:${this.port} default_server;`],
      ["listen [::]:80 default_server;", ""],
      ["server_name _;", `server_name _;\n${this.site.join("\n")}\ninclude snippets/dep.conf;`]);
    cpSync(join(etc, "sites-available/default"), join(etc, "sites-enabled/default"));
    return ["/usr/sbin/nginx", ["-c", join(etc, "nginx.conf"), "-e", join(this.work, "error.log"), "-g", "daemon off;"], {}];
  }

  /** Apache's configuration: mod_headers and the app's file enabled by a2enmod and a2enconf. */
  apache() {
    const etc = join(this.work, "apache2");
    copyTree("/etc/apache2", etc, { verbatimSymlinks: true });
    const www = ["/var/www", join(this.work, "www")];
    edit(join(etc, "apache2.conf"), www);
    edit(join(etc, "ports.conf"), ["Listen 80\n", `Listen 127.0.0.1:${this.port}\n`]);
    edit(join(etc, "sites-available/000-default.conf"), www, ["<VirtualHost *:80>", `<VirtualHost *:${this.port}>`]);
    writeFileSync(join(etc, "conf-available/dep.conf"), readFileSync(join(this.snippets, "apache.conf"), "utf8")
      .replaceAll("/var/www", www[1]));
    writeFileSync(join(etc, "conf-available/site.conf"), `${this.site.join("\n")}\n`);
    const root = process.getuid() === 0;
    const environment = {
      APACHE_CONFDIR: etc, APACHE_STATE_DIRECTORY: join(this.work, "state"),
      APACHE_RUN_USER: root ? "www-data" : userInfo().username, APACHE_RUN_GROUP: root ? "www-data" : userInfo().username,
      APACHE_PID_FILE: join(this.work, "apache2.pid"), APACHE_RUN_DIR: this.work, APACHE_LOCK_DIR: this.work,
      APACHE_LOG_DIR: this.work,
    };
    const enabled = [["a2enconf", "dep"], ["a2enconf", "site"]];
    for (const [tool, name] of this.headers ? [["a2enmod", "headers"], ...enabled] : enabled) {
      execFileSync(`/usr/sbin/${tool}`, ["-q", name], { env: { ...process.env, ...environment } });
    }
    return ["/usr/sbin/apache2", ["-d", etc, "-f", join(etc, "apache2.conf"), "-DFOREGROUND"], environment];
  }

  /** Stops, if it runs, and waits until the server has ended. */
  async stop() {
    if (!this.work) {
      return;
    }
    this.process.kill("SIGTERM");
    await this.exited;
    rmSync(this.work, { recursive: true, force: true });
    this.work = null;
  }
}
