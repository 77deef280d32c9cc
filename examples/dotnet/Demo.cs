// The .NET binding at work: a million WGS84 points to UTM and Gauss-Krueger in one call and from
// four threads, checked against reference points and against each other; EPSG codes (6 deg
// Gauss-Krueger zones among them) and the official datum shifts against reference points; why a
// point has no path; the library's refusals as exceptions.
// Usage: mono demo.exe [UTM points file] [EPSG points file] [NTv2 grid file]
using System;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Threading.Tasks;
using Nuvex;

static class Demo
{
    const int Side = 1000;  // a million points over 5..16 E, 46..56 N
    const int Threads = 4;
    const double MetreTolerance = 1e-3;  // against the reference points
    const double PathTolerance = 1e-6;   // m: the engine's scalar and vector paths agree to this

    static int failures;

    static void Check(bool ok, string what)
    {
        if (!ok) { ++failures; Console.WriteLine("FAILED: " + what); }
    }

    static int Main(string[] args)
    {
        Console.WriteLine("nuvex " + Transformer.Version);
        int n = Side * Side;
        var lon = new double[n];
        var lat = new double[n];
        for (int i = 0; i < n; ++i)
        {
            lon[i] = 5.0 + 11.0 * (i % Side) / (Side - 1);
            lat[i] = 46.0 + 10.0 * (i / Side) / (Side - 1);
        }
        var easting = new double[n];
        var northing = new double[n];
        var zone = new int[n];
        var status = new int[n];
        using (var utm = new Transformer("G:3", "E:3"))
        using (var acrossDatums = new Transformer("G:2", "E:3"))
        {
            var watch = Stopwatch.StartNew();
            utm.Transform(lon, lat, null, easting, northing, zone, status);
            Console.WriteLine("{0} points G:3 -> E:3 in {1} ms", n, watch.ElapsedMilliseconds);
            if (args.Length > 0) CheckReferencePoints(utm, args[0]);

            // International 1924 to WGS84 UTM: points outside the regions have no path. The same
            // transformer from four threads, each on its share of the arrays.
            var oneX = new double[n];
            var oneY = new double[n];
            var oneStatus = new int[n];
            acrossDatums.Transform(lon, lat, null, oneX, oneY, null, oneStatus);
            var sharedX = new double[n];
            var sharedY = new double[n];
            var sharedStatus = new int[n];
            watch.Restart();
            Parallel.For(0, Threads, w =>
            {
                int first = (int)((long)n * w / Threads);
                int count = (int)((long)n * (w + 1) / Threads) - first;
                acrossDatums.Transform(lon, lat, null, sharedX, sharedY, null, sharedStatus,
                                       first, count);
            });
            Console.WriteLine("{0} points G:2 -> E:3 from {1} threads in {2} ms", n, Threads,
                              watch.ElapsedMilliseconds);
            int withoutPath = 0, differences = 0;
            for (int i = 0; i < n; ++i)
            {
                if (oneStatus[i] != Transformer.PointConverted) ++withoutPath;
                bool same = sharedStatus[i] == oneStatus[i] &&
                    (oneStatus[i] != Transformer.PointConverted ||
                     (Math.Abs(sharedX[i] - oneX[i]) <= PathTolerance &&
                      Math.Abs(sharedY[i] - oneY[i]) <= PathTolerance));
                if (!same) ++differences;
            }
            Console.WriteLine("{0} points without a path from system 2, {1} differ between threads",
                              withoutPath, differences);
            Check(differences == 0, "threads give the single call's results");
            Check(withoutPath > 0 && withoutPath < n / 2, "points outside the regions marked");
        }

        if (args.Length > 1) CheckEpsgPoints(args[1]);
        CheckReasons();
        if (args.Length > 2) CheckGridFile(args[2]);
        CheckArrayBounds();

        int sign, degrees, minutes;
        double seconds;
        Transformer.Deg2Dms(-50.99999999, 2, out sign, out degrees, out minutes, out seconds);
        Console.WriteLine("-50.99999999 deg = {0}{1} deg {2}' {3:F2}\"", sign < 0 ? "-" : "",
                          degrees, minutes, seconds);
        Check(sign == -1 && degrees == 51 && minutes == 0, "seconds carried into the degrees");
        Check(Math.Abs(Transformer.Dms2Deg(-1, 7, 45, 36.0) + 7.76) < 1e-12, "dms2deg");

        try
        {
            new Transformer("E:7", "G:3").Dispose();
            Check(false, "E:7 refused");
        }
        catch (NuvexException e)
        {
            Console.WriteLine("refused (code {0}): {1}", e.Code, e.Message);
            Check(e.Code == 2 && e.Message.StartsWith("source 'E:7' is not"), "refusal text");
        }
        Console.WriteLine(failures == 0 ? "all checks passed" : failures + " checks failed");
        return failures == 0 ? 0 : 1;
    }

    // "source target datum x y xOut yOut" lines, '#' comments: each with the transformer's
    // defaults but the datum, so that an EPSG code of 6 deg zones takes its zone width.
    static void CheckEpsgPoints(string path)
    {
        int checkedPoints = 0;
        foreach (string line in File.ReadAllLines(path))
        {
            if (line.Length == 0 || line[0] == '#') continue;
            string[] f = line.Split(' ');
            Func<int, double> number = k => double.Parse(f[k], CultureInfo.InvariantCulture);
            var datum = (Datum)Enum.Parse(typeof(Datum), f[2], true);
            bool geographic = f[1] == "EPSG:4258" || f[1].StartsWith("G:");
            double tolerance = geographic ? 1e-8 : MetreTolerance;  // 1e-8 deg: about 1 mm
            var x = new double[1];
            var y = new double[1];
            var status = new int[1];
            try
            {
                using (var t = new Transformer(f[0], f[1], datum: datum))
                    t.Transform(new[] { number(3) }, new[] { number(4) }, null, x, y, null, status);
                Check(status[0] == Transformer.PointConverted &&
                      Math.Abs(x[0] - number(5)) <= tolerance &&
                      Math.Abs(y[0] - number(6)) <= tolerance,
                      string.Format(CultureInfo.InvariantCulture, "{0}: {1} {2}", line, x[0], y[0]));
            }
            catch (NuvexException e)
            {
                Check(false, line + ": " + e.Message);
            }
            ++checkedPoints;
        }
        Console.WriteLine("{0} points of EPSG codes and datums as PROJ gives them", checkedPoints);
        // A zone width that contradicts the code is still refused.
        try
        {
            new Transformer("EPSG:4178", "EPSG:3834", zoneWidth: 3).Dispose();
            Check(false, "zone width 3 with EPSG:3834 refused");
        }
        catch (NuvexException e)
        {
            Check(e.Code == 1, "zone width 3 with EPSG:3834: code " + e.Code);
        }
    }

    // The reason of a point that has no path, and none for one that converts.
    static void CheckReasons()
    {
        using (var official = new Transformer("G:1", "G:3", datum: Datum.Official))
        using (var acrossDatums = new Transformer("G:2", "E:3"))
        {
            // BeTA2007 covers Germany: 0 E 40 N is outside it (PROJ: "falls outside grid").
            Reason outside = official.Explain(0.0, 40.0);
            string text = Transformer.ReasonText(outside);
            Console.WriteLine("0 E 40 N, G:1 -> G:3 official: {0} ({1})", outside, text);
            Check(outside == Reason.OutsideGrid, "reason outside the grid");
            Check(text.Length > 0 && text != Transformer.ReasonText((Reason)1000),
                  "the library's text of the reason");
            Check(official.Explain(10.0, 50.0) == Reason.None, "no reason where the point converts");
            Check(acrossDatums.Explain(10.0, 95.0) == Reason.OutsideCoordinates, "latitude 95");
            Check(acrossDatums.Explain(double.NaN, 50.0) == Reason.NotFinite, "NaN");
            // Every point Transform marks has a reason, and only those.
            var lon = new double[] { 0.5, 10.0, 30.0, -20.0 };
            var lat = new double[] { 40.0, 50.0, 10.0, 60.0 };
            var x = new double[lon.Length];
            var y = new double[lon.Length];
            var status = new int[lon.Length];
            acrossDatums.Transform(lon, lat, null, x, y, null, status);
            for (int i = 0; i < lon.Length; ++i)
            {
                Reason reason = acrossDatums.Explain(lon[i], lat[i]);
                Check((reason == Reason.None) == (status[i] == Transformer.PointConverted),
                      string.Format(CultureInfo.InvariantCulture, "reason of {0} {1}: {2}",
                                    lon[i], lat[i], reason));
            }
        }
        Check(Transformer.ReasonText(Reason.None) == "", "no text without a reason");
        Check(Transformer.ReasonText((Reason)(-1)) == "unknown reason", "unknown reason");
    }

    // An NTv2 file given as the grid: the built-in grid's own file gives the built-in results; a
    // file that cannot be read is refused with its name, also a long name of any letters.
    static void CheckGridFile(string path)
    {
        var lon = new double[] { 10.0, 13.4 };
        var lat = new double[] { 50.0, 52.5 };
        var x = new double[2];
        var y = new double[2];
        var fx = new double[2];
        var fy = new double[2];
        using (var builtIn = new Transformer("G:1", "G:3", datum: Datum.Official))
        using (var file = new Transformer("G:1", "G:3", datum: Datum.Official, grid: path))
        {
            builtIn.Transform(lon, lat, null, x, y, null, null);
            file.Transform(lon, lat, null, fx, fy, null, null);
        }
        Check(x[0] == fx[0] && y[0] == fy[0] && x[1] == fx[1] && y[1] == fy[1],
              "the grid file gives the built-in grid's results");
        // Names longer than a message, of two-byte characters at either byte of the cut.
        foreach (string start in new[] { "Gitter-", "Gitter-x" })
        {
            string name = start + new string('\u00c4', 300) + ".gsb";
            try
            {
                new Transformer("G:1", "G:3", datum: Datum.Official, grid: name).Dispose();
                Check(false, "a missing grid file refused");
            }
            catch (NuvexException e)
            {
                // The message is cut between characters: nothing undecodable at its end.
                Check(e.Code == 1 && e.Message.Contains(start + "\u00c4\u00c4") &&
                          e.Message.IndexOf('\ufffd') < 0 && e.Message.EndsWith("\u00c4"),
                      "refusal of a missing grid file: " + e.Message);
            }
        }
        try
        {
            new Transformer("G:2", "G:3", datum: Datum.Official).Dispose();
            Check(false, "system 2 refused with the official datum");
        }
        catch (NuvexException e)
        {
            Check(e.Code == 1, "system 2 with the official datum: code " + e.Code);
        }
    }

    // Offsets and counts that do not fit the arrays are refused before the library reads them,
    // also when their sum is beyond int.
    static void CheckArrayBounds()
    {
        var a = new double[4];
        using (var utm = new Transformer("G:3", "E:3"))
        {
            foreach (var range in new[] { new[] { 1, int.MaxValue }, new[] { int.MaxValue, 2 },
                                          new[] { 3, 2 }, new[] { -1, 1 }, new[] { 5, 0 } })
            {
                try
                {
                    utm.Transform(a, a, null, a, a, null, null, range[0], range[1]);
                    Check(false, "offset " + range[0] + ", count " + range[1] + " refused");
                }
                catch (ArgumentOutOfRangeException)
                {
                }
            }
            utm.Transform(a, a, null, a, a, null, null, 4, 0);  // nothing at the end: fine
        }
    }

    // "lon lat zone easting northing" lines, '#' comments.
    static void CheckReferencePoints(Transformer utm, string path)
    {
        int checkedPoints = 0;
        foreach (string line in File.ReadAllLines(path))
        {
            if (line.Length == 0 || line[0] == '#') continue;
            string[] f = line.Split(' ');
            Func<int, double> number = k => double.Parse(f[k], CultureInfo.InvariantCulture);
            var x = new double[1];
            var y = new double[1];
            var z = new int[1];
            utm.Transform(new[] { number(0) }, new[] { number(1) }, null, x, y, z, null);
            Check(z[0] == (int)number(2) && Math.Abs(x[0] - number(3)) <= MetreTolerance &&
                  Math.Abs(y[0] - number(4)) <= MetreTolerance, "reference point " + line);
            ++checkedPoints;
        }
        Console.WriteLine("{0} reference points within {1} m", checkedPoints, MetreTolerance);
    }
}
