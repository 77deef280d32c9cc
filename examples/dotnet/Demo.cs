// The .NET binding at work: a million WGS84 points to UTM and Gauss-Krueger in one call and from
// four threads, checked against reference points and against each other, and the library's
// refusals as exceptions. Usage: mono demo.exe [reference points file]
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
