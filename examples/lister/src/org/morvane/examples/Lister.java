package org.morvane.examples;

import java.io.BufferedInputStream;
import java.io.DataInputStream;
import java.io.FileInputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

/**
 * Asks (through shell-meta-inf/startoptions) for the dropped files in a name
 * list file: the property org.morvane.start.filenames names it, and it holds
 * big-endian length records of UTF-8 names ended by a zero length. The file
 * is the program's to delete once it has been read.
 */
public final class Lister {
    static List<String> readNameList(String path) throws IOException {
        List<String> names = new ArrayList<>();
        try (DataInputStream in = new DataInputStream(new BufferedInputStream(new FileInputStream(path)))) {
            for (int length = in.readInt(); length > 0; length = in.readInt()) {
                byte[] utf8 = new byte[length];
                in.readFully(utf8);
                names.add(new String(utf8, StandardCharsets.UTF_8));
            }
        }
        return names;
    }

    public static void main(String[] args) throws IOException {
        List<String> lines = new ArrayList<>();
        String listFile = System.getProperty("org.morvane.start.filenames");
        if (listFile == null) {
            lines.add("Lister was started without a name list file; arguments: " + args.length);
        } else {
            List<String> names = readNameList(listFile);
            Files.deleteIfExists(Paths.get(listFile));
            lines.add("Lister read " + names.size() + " file(s) from the name list file:");
            for (String n : names) lines.add("  " + n);
            if (args.length > 0) lines.add("and " + args.length + " argument(s) on the command line");
        }
        for (String l : lines) System.out.println(l);
        writeResult(lines);
    }

    /** Writes the report whole under its final name, so a watcher never reads half of it. */
    static void writeResult(List<String> lines) throws IOException {
        String result = System.getProperty("morvane.example.result", System.getenv("MORVANE_EXAMPLE_RESULT"));
        if (result == null) return;
        Path p = Paths.get(result);
        Path part = Paths.get(result + ".part");
        Files.write(part, lines, StandardCharsets.UTF_8);
        Files.move(part, p, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
    }
}
