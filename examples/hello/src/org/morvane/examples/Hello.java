package org.morvane.examples;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

/**
 * Receives the dropped files as command-line arguments and reports them, one
 * per line, on standard output and (when the system property
 * morvane.example.result or the environment variable MORVANE_EXAMPLE_RESULT
 * names a file) into that file as UTF-8.
 */
public final class Hello {
    public static void main(String[] args) throws IOException {
        List<String> lines = new ArrayList<>();
        lines.add("Hello received " + args.length + " file(s) on the command line:");
        for (String a : args) lines.add("  " + a);
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
