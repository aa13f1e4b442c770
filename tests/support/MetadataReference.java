// What the JDK itself makes of manifests, properties files and jars, for the
// tests that hold Morvane's readers against it. Texts are written as their
// UTF-16 units in hex ("-" for none), so nothing is lost on the way.
//
//   java MetadataReference manifest FILE...    FILE, then REFUSED or A name value per main header
//   java MetadataReference properties FILE...  FILE, then REFUSED or P key value per entry
//   java MetadataReference jars LOCALE FILE... JAR, then name version vendor description
//                                              derived by the rules of src/metadata/JarMetadata.h
import java.io.ByteArrayInputStream;
import java.io.File;
import java.io.InputStream;
import java.lang.module.ModuleDescriptor;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Enumeration;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.jar.Attributes;
import java.util.jar.Manifest;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

public class MetadataReference {
    static String hex(String s) {
        if (s == null) return "-";
        StringBuilder b = new StringBuilder();
        for (char c : s.toCharArray()) b.append(String.format("%04x", (int) c));
        return b.toString();
    }

    public static void main(String[] args) throws Exception {
        StringBuilder out = new StringBuilder();
        if (args[0].equals("jars")) {
            for (int i = 2; i < args.length; i++) {
                out.append("JAR\t").append(args[i]);
                try {
                    for (String s : derive(new File(args[i]), args[1])) out.append('\t').append(hex(s));
                } catch (Exception e) {
                    out.append("\tERROR");
                }
                out.append('\n');
            }
        }
        for (int i = 1; i < args.length && !args[0].equals("jars"); i++) {
            out.append("FILE\t").append(args[i]).append('\n');
            byte[] bytes = Files.readAllBytes(new File(args[i]).toPath());
            try {
                if (args[0].equals("manifest")) {
                    Attributes main = new Manifest(new ByteArrayInputStream(bytes)).getMainAttributes();
                    for (Map.Entry<Object, Object> e : main.entrySet())
                        out.append("A\t").append(hex(e.getKey().toString())).append('\t')
                           .append(hex((String) e.getValue())).append('\n');
                } else {
                    Properties p = new Properties();
                    p.load(new ByteArrayInputStream(bytes));
                    for (String k : p.stringPropertyNames())
                        out.append("P\t").append(hex(k)).append('\t').append(hex(p.getProperty(k))).append('\n');
                }
            } catch (Exception e) {
                out.append("REFUSED\n");
            }
        }
        System.out.print(out);
    }

    static final Pattern PLACEHOLDER = Pattern.compile("\\$\\{[^}]+\\}|@[A-Za-z0-9._-]+@");
    static final Pattern POM = Pattern.compile("META-INF/maven/[^/]+/[^/]+/pom\\.properties");
    static final Pattern VERSIONED = Pattern.compile("META-INF/versions/([1-9][0-9]{0,8})/module-info\\.class");

    static String usable(String v) {
        if (v == null) return null;
        v = v.trim();
        return v.isEmpty() || PLACEHOLDER.matcher(v).find() ? null : v;
    }

    static String first(String... values) {
        for (String v : values) if (usable(v) != null) return usable(v);
        return null;
    }

    static Properties load(ZipFile z, String name) {
        ZipEntry e = z.getEntry(name);
        if (e == null) return null;
        try (InputStream in = z.getInputStream(e)) {
            Properties p = new Properties();
            p.load(in);
            return p;
        } catch (Exception x) {
            return null;
        }
    }

    static String[] derive(File jar, String locale) throws Exception {
        try (ZipFile z = new ZipFile(jar)) {
            Attributes a = new Attributes();
            ZipEntry me = z.getEntry("META-INF/MANIFEST.MF");
            if (me != null) {
                try (InputStream in = z.getInputStream(me)) {
                    a = new Manifest(in).getMainAttributes();
                } catch (Exception x) {
                    a = new Attributes();
                }
            }
            String base = a.getValue("Bundle-Localization");
            base = (base == null ? "OSGI-INF/l10n/bundle" : base).replaceFirst("^/+", "");
            String[] parts = locale.split("_");
            List<Properties> l10n = new ArrayList<>();
            if (parts.length > 1) l10n.add(load(z, base + "_" + parts[0] + "_" + parts[1] + ".properties"));
            l10n.add(load(z, base + "_" + parts[0] + ".properties"));
            l10n.add(load(z, base + ".properties"));
            String[] bundle = new String[5];
            String[] headers = {"Bundle-Name", "Bundle-Version", "Bundle-Vendor", "Bundle-Description",
                                "Bundle-Copyright"};
            for (int i = 0; i < 5; i++) {
                String v = a.getValue(headers[i]);
                if (v != null && v.startsWith("%")) {
                    String key = v.substring(1);
                    v = null;
                    for (Properties p : l10n)
                        if (p != null && p.containsKey(key)) {
                            v = p.getProperty(key);
                            break;
                        }
                }
                bundle[i] = v;
            }
            String manifestVersion = first(bundle[1], a.getValue("Implementation-Version"),
                                           a.getValue("Specification-Version"));
            List<String[]> poms = new ArrayList<>();
            boolean versioned = false;
            int release = 0;
            for (Enumeration<? extends ZipEntry> en = z.entries(); en.hasMoreElements();) {
                String n = en.nextElement().getName();
                Matcher m = VERSIONED.matcher(n);
                if (m.matches() && Integer.parseInt(m.group(1)) >= 8)
                    release = Math.max(release, Integer.parseInt(m.group(1)));
                if (!POM.matcher(n).matches()) continue;
                Properties p = load(z, n);
                String[] pom = new String[3];
                for (int k = 0; k < 3 && p != null; k++) {
                    String v = p.getProperty(new String[] {"groupId", "artifactId", "version"}[k]);
                    pom[k] = v == null ? null : v.trim();
                }
                poms.add(pom);
            }
            String[] own = null;
            if (poms.size() <= 32) {
                for (String[] pom : poms)
                    if (pom[1] != null && !pom[1].isEmpty() && jar.getName().startsWith(pom[1])
                        && (own == null || pom[1].length() > own[1].length()))
                        own = pom;
                if (own == null && manifestVersion != null) {
                    for (String[] pom : poms) {
                        if (!manifestVersion.equals(pom[2])) continue;
                        if (own != null) { own = null; break; }
                        own = pom;
                    }
                }
            }
            if (own == null) own = new String[3];
            String moduleName = null, moduleVersion = null;
            String moduleMember = release > 0 && "true".equalsIgnoreCase(a.getValue("Multi-Release"))
                ? "META-INF/versions/" + release + "/module-info.class" : "module-info.class";
            ZipEntry mi = z.getEntry(moduleMember);
            if (mi != null) {
                try (InputStream in = z.getInputStream(mi)) {
                    ModuleDescriptor d = ModuleDescriptor.read(in);
                    moduleName = d.name();
                    moduleVersion = d.rawVersion().orElse(null);
                } catch (Exception x) {
                }
            }
            String symbolic = a.getValue("Bundle-SymbolicName");
            if (symbolic != null) symbolic = symbolic.split(";", 2)[0];
            String name = first(bundle[0], a.getValue("Implementation-Title"), a.getValue("Specification-Title"),
                                own[1], moduleName, a.getValue("Automatic-Module-Name"), symbolic);
            String version = first(bundle[1], a.getValue("Implementation-Version"), own[2], moduleVersion,
                                   a.getValue("Specification-Version"));
            if (name == null && version == null) return new String[4];
            return new String[] {name, version,
                first(bundle[2], a.getValue("Implementation-Vendor"), a.getValue("Specification-Vendor")),
                first(bundle[3])};
        }
    }
}
